#pragma once

#include <QMainWindow>

#include <functional>
#include <string>
#include <string_view>

#include "conv/Tnkf.h"
#include "job/TThreadFileNameList.h"
#include "platform/PathSyntax.h"
#include "platform/Process.h"

class QAction;
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
class TFormMain : public QMainWindow {
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
  void StepProgress();
  void RefreshFileList();
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

 signals:
  // FirstIdle has run; loaded tells whether the conversion component is ready.
  void FirstIdleFinished(bool loaded);

 protected:
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
  HelpOpener OpenHelp_;
};

}  // namespace quillora
