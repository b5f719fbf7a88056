#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "conv/Tnkf.h"
#include "job/ConvertWorker.h"
#include "job/TJvThread.h"
#include "job/TThreadFileNameList.h"
#include "platform/DropFiles.h"
#include "platform/PathSyntax.h"
#include "platform/Process.h"

class QAction;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStatusBar;
class QToolBar;
class QTreeView;
class QWidget;
class QWindow;

namespace quillora {

class TCategoryPanel;
class TCategoryPanelGroup;
class TFileNameListModel;
class TRadioGroup;

// The help file that belongs to the executable at exePath: its path with the extension of the
// file name replaced by ".CHM", or with ".CHM" appended when the name has none.
std::u16string HelpFilePathFor(std::u16string_view exePath,
                               const PathSyntax& syntax = PathSyntax::Native());

// The conversion component's path: the executable's folder, one delimiter, "nkf32.dll".
std::u16string LibraryPathFor(std::u16string_view exePath,
                              const PathSyntax& syntax = PathSyntax::Native());

// The file-name part of a path as the file list shows it.
std::u16string FileNamePart(std::u16string_view path,
                            const PathSyntax& syntax = PathSyntax::Native());

// The main window: the naming and code settings, the drop prompt, the conversion panel with the
// pending files, progress and cancel, the status bar, and the Help and Version commands. It
// owns the queue of pending files and the adapter over the conversion component.
class SyncBridge;

// True when the text holds a character that no file name may hold: the controls U+0000 to
// U+001F and " * / : < > ? \ |. Output names stay portable, so the set is the same everywhere.
bool HoldsInvalidFileNameCharacter(std::u16string_view text);

class TFormMain : public QMainWindow, public TConvertView {
  Q_OBJECT

 public:
  // How the window shows a warning: a box with one OK button that returns when it is closed.
  using WarningPresenter = std::function<void(const std::u16string& text)>;
  // How the Help command hands the help file to its viewer; false when it could not.
  using HelpOpener = std::function<bool(const std::u16string& path)>;

  // exePath is where the window looks for its help file and the conversion component.
  explicit TFormMain(QWidget* owner = nullptr, std::u16string exePath = ExecutablePath());
  ~TFormMain() override;

  void SetDefaultSettings();
  void ResetProgress();
  void StepProgress() override;
  void RefreshFileList() override;
  // The caption of the file list's row at index: the file-name part of that pending path,
  // empty when the queue has no entry there any more.
  std::u16string ListViewFileNameData(int index);
  void ListViewFileNameResize();

  // The help file picked at start, empty when there is none.
  const std::u16string& HelpFile() const { return HelpFile_; }

  void SetWarningPresenter(WarningPresenter presenter);
  void SetHelpOpener(HelpOpener opener);
  // Shows text through the warning presenter.
  void ShowWarning(const std::u16string& text);

  // The components of the window, in the order of its description.
  TCategoryPanelGroup* CategoryPanelGroupConfig;
  TCategoryPanel* CategoryPanelCharSet;
  TCategoryPanel* CategoryPanelFileName;
  QRadioButton* RadioButtonFileNamePos;
  QComboBox* ComboBoxFileNamePos;
  QRadioButton* RadioButtonFileNameDir;
  QWidget* PanelMain;
  QLabel* LabelDragDrop;
  QWidget* PanelStatus;
  QPushButton* BtnCancel;
  QProgressBar* ProgressBar1;
  QLineEdit* EditFileNameText;
  QLabel* Label2;
  QSplitter* Splitter1;
  QLineEdit* EditFileNameDirText;
  QLabel* Label3;
  QObject* ActionManager1;
  // JvThreadConvert, the worker-thread component, joins here with the conversion run.
  QWidget* PanelConvert;
  QSplitter* Splitter2;
  QAction* ActionHelpHelp;
  QAction* ActionHelpVersion;
  QTreeView* ListViewFileName;
  QWidget* GridPanel1;
  TRadioGroup* RadioGroupCharsetFrom;
  TRadioGroup* RadioGroupCharsetTo;
  QStatusBar* StatusBar1;
  QToolBar* ActionToolBar1;

  // Declared in the order they are built; C++ releases them in reverse, which is the order
  // the window must let go of them: the adapter, then the lock, then the queue.
  TThreadFileNameList FileNameList;
  TLockObject DisplayLock;
  TNkf Nkf;

  // The worker-thread component that runs the conversions, one run at a time; destroyed first
  // of all, so that a run still going has everything it uses.
  std::unique_ptr<TJvThread> JvThreadConvert;
  // The settings of the current run, copied from the controls when it begins.
  TConvertSettings ConvertSettings;

  // How the window asks a continue-or-stop question: Yes, No or Cancel. Empty restores the
  // window's own confirmation box.
  using QuestionPresenter = std::function<TAnswer(const std::u16string& text)>;
  void SetQuestionPresenter(QuestionPresenter presenter);
  TAnswer ShowQuestionBox(const std::u16string& text);
  TAnswer AskToContinue(const std::u16string& text) override;

  // The drop of files from the desktop: every dropped file that exists joins the queue and a
  // run starts when none is going. Releases the handle on every way out.
  void WMDropFiles(HDROP drop);
  // True, after the warning of the chosen naming mode, when its text cannot be part of a name.
  bool IsNameTextInvalid();

  void JvThreadConvertBegin(TJvThread* Sender);
  void JvThreadConvertExecute(TJvBaseThread* Sender, void* Params);
  void JvThreadConvertFinish(TJvBaseThread* Sender);
  void BtnCancelClick();

 signals:
  // FirstIdle has run; loaded tells whether the conversion component is ready.
  void FirstIdleFinished(bool loaded);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildForm();
  void BuildSettingsColumn();
  void BuildMainPanel();
  void BuildToolBar();
  void FirstIdle();
  void ActionHelpHelpExecute();
  void ActionHelpVersionExecute();

  TFileNameListModel* ListModel_;
  std::u16string ExePath_;
  std::u16string HelpFile_;
  bool FirstIdleAttached_ = false;
  bool FirstIdleQueued_ = false;
  QWindow* WatchedWindow_ = nullptr;
  WarningPresenter ShowWarning_;
  QuestionPresenter Ask_;
  std::unique_ptr<SyncBridge> Sync_;
  std::unique_ptr<TConvertWorker> Worker_;
  HelpOpener OpenHelp_;
};

}  // namespace quillora
