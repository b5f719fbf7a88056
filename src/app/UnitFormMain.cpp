#include "app/UnitFormMain.h"

#include <QAction>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <utility>

#include "app/AppIcon.h"
#include "app/Application.h"
#include "app/CategoryPanel.h"
#include "app/FileNameListModel.h"
#include "app/HelpViewer.h"
#include "app/RadioGroup.h"
#include "app/SyncBridge.h"
#include "app/UnitFormAboutBox.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"

namespace quillora {
namespace {

constexpr int kClientWidth = 517;
constexpr int kClientHeight = 323;
constexpr int kToolBarHeight = 23;
constexpr int kSettingsColumnWidth = 241;
constexpr int kFileNamePanelHeight = 145;
constexpr int kCharSetPanelHeight = 152;
constexpr int kConvertPanelHeight = 126;
constexpr int kStatusRowHeight = 28;
constexpr int kCancelButtonWidth = 84;
constexpr int kFileListColumnWidth = 300;
constexpr int kDropPromptPixelHeight = 21;
// The indent of the rows that belong to the radio button above them.
constexpr int kRowIndent = 18;

QString Q(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// The local files among the dropped items; what is not a file of this machine cannot be
// converted and is not offered to the window.
std::vector<std::u16string> DroppedLocalPaths(const QMimeData* data) {
  std::vector<std::u16string> paths;
  if (data == nullptr || !data->hasUrls())
    return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile())
      paths.push_back(url.toLocalFile().toStdU16String());
  }
  return paths;
}

// Releases a drop handle on every way out of the drop, exactly once.
class DropHandleOwner {
 public:
  explicit DropHandleOwner(HDROP drop) : drop_(drop) {}
  ~DropHandleOwner() { Release(); }
  DropHandleOwner(const DropHandleOwner&) = delete;
  DropHandleOwner& operator=(const DropHandleOwner&) = delete;
  void Release() {
    if (drop_ != nullptr)
      DragFinish(std::exchange(drop_, nullptr));
  }

 private:
  HDROP drop_;
};

// The window's typeface: Tahoma where it is installed, else a face that holds Japanese, so
// that no text depends on the fallback a machine happens to pick.
QString FormFontFamily() {
  const QString tahoma = QStringLiteral("Tahoma");
  return QFontDatabase::hasFamily(tahoma) ? tahoma : QStringLiteral("Noto Sans CJK JP");
}

}  // namespace

bool HoldsInvalidFileNameCharacter(std::u16string_view text) {
  for (const char16_t c : text) {
    if (c < 0x20)
      return true;
    switch (c) {
      case u'"':
      case u'*':
      case u'/':
      case u':':
      case u'<':
      case u'>':
      case u'?':
      case u'\\':
      case u'|':
        return true;
      default:
        break;
    }
  }
  return false;
}

std::u16string HelpFilePathFor(std::u16string_view exePath, const PathSyntax& syntax) {
  std::u16string path(exePath.substr(0, exePath.size() - syntax.Extension(exePath).size()));
  path += u".CHM";
  return path;
}

std::u16string LibraryPathFor(std::u16string_view exePath, const PathSyntax& syntax) {
  const std::u16string folder = syntax.DirectoryPart(exePath);
  // Never a bare name: that would let the loader search its own path list.
  std::u16string path =
      syntax.WithTrailingDelimiter(folder.empty() ? std::u16string_view(u".") : folder);
  path.append(u"nkf32.dll");
  return path;
}

std::u16string FileNamePart(std::u16string_view path, const PathSyntax& syntax) {
  return syntax.FileNamePart(path);
}

TFormMain::TFormMain(QWidget* owner, std::u16string exePath)
    : QMainWindow(owner), ExePath_(std::move(exePath)) {
  // The queue, the display lock and the adapter (nothing loaded yet) are members, built before
  // this body runs; the form comes first among the steps that can be seen.
  // Calls from the conversion runs reach this thread through the event loop.
  Sync_ = std::make_unique<SyncBridge>();
  BuildForm();
  JvThreadConvert = std::make_unique<TJvThread>();
  JvThreadConvert->Exclusive = true;
  JvThreadConvert->MaxCount = 0;
  JvThreadConvert->RunOnCreate = true;
  JvThreadConvert->FreeOnTerminate = true;
  JvThreadConvert->OnBegin = [this](TJvThread* sender) { JvThreadConvertBegin(sender); };
  JvThreadConvert->OnExecute = [this](TJvBaseThread* sender, void* params) {
    JvThreadConvertExecute(sender, params);
  };
  JvThreadConvert->OnFinish = [this](TJvBaseThread* sender) { JvThreadConvertFinish(sender); };
  Worker_ = std::make_unique<TConvertWorker>(FileNameList, Nkf, *JvThreadConvert, *this);
  DisplayTimer_ = new QTimer(this);
  DisplayTimer_->setSingleShot(true);
  connect(DisplayTimer_, &QTimer::timeout, this,
          [this] { Guarded([this] { ShowPendingDisplay(); }); });
  connect(BtnCancel, &QPushButton::clicked, this,
          [this] { Guarded([this] { BtnCancelClick(); }); });

  ShowWarning_ = [this](const std::u16string& text) {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), Q(text),
                    QMessageBox::Ok, this);
    box.exec();
  };
  SetQuestionPresenter(nullptr);
  OpenHelp_ = [this](const std::u16string& path) {
    try {
      return THelpViewer::ShowContents(this, path) != nullptr;
    } catch (const Exception&) {
      return false;  // the file is there but is no help file that can be read
    }
  };

  // The help file is looked for once, here; links are followed.
  const std::u16string help = HelpFilePathFor(ExePath_);
  if (QFileInfo(Q(help)).isFile()) {
    HelpFile_ = help;
  }

  SetDefaultSettings();

  // Files dropped from the desktop are the program's only input.
  setAcceptDrops(true);

  FirstIdleAttached_ = true;
}

TFormMain::~TFormMain() {
  // Before anything else: a running conversion is asked to stop and waited for, its
  // synchronised calls and its finish handler served, while the controls, the adapter and the
  // queue still exist. The file in hand is still saved; the paths still pending are dropped.
  JvThreadConvert.reset();
  Worker_.reset();

  // No row is drawn from here on: the queue goes before the list does.
  ListModel_->SetRowTextFunction(nullptr);
  ListViewFileName->viewport()->removeEventFilter(this);
  if (WatchedWindow_ != nullptr) {
    WatchedWindow_->removeEventFilter(this);
  }
  // Then the members go in reverse order of declaration: Nkf (unloading the component),
  // DisplayLock, FileNameList; the controls last, with the window.
}

void TFormMain::BuildForm() {
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(QStringLiteral("Quillora"));
  setWindowIcon(QuilloraIcon());
  QFont font(FormFontFamily());
  font.setPointSize(8);
  setFont(font);

  ActionManager1 = new QObject(this);
  ActionManager1->setObjectName(QStringLiteral("ActionManager1"));
  ActionHelpHelp = new QAction(QStringLiteral("ヘルプ"), ActionManager1);
  ActionHelpHelp->setObjectName(QStringLiteral("ActionHelpHelp"));
  ActionHelpHelp->setProperty("category", QStringLiteral("ヘルプ"));
  connect(ActionHelpHelp, &QAction::triggered, this,
          [this] { Guarded([this] { ActionHelpHelpExecute(); }); });
  ActionHelpVersion = new QAction(QStringLiteral("バージョン情報"), ActionManager1);
  ActionHelpVersion->setObjectName(QStringLiteral("ActionHelpVersion"));
  ActionHelpVersion->setProperty("category", QStringLiteral("ヘルプ"));
  connect(ActionHelpVersion, &QAction::triggered, this,
          [this] { Guarded([this] { ActionHelpVersionExecute(); }); });

  BuildToolBar();

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setHandleWidth(3);
  Splitter1->setChildrenCollapsible(false);
  setCentralWidget(Splitter1);

  BuildSettingsColumn();
  BuildMainPanel();

  Splitter1->addWidget(CategoryPanelGroupConfig);
  Splitter1->addWidget(PanelMain);
  // Growing the window widens the main panel; the settings column keeps its width.
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes(
      {kSettingsColumnWidth, kClientWidth - kSettingsColumnWidth - Splitter1->handleWidth()});

  // Tab follows the rows, top to bottom; a radio group is one stop, its arrows choose.
  QWidget* order[] = {CategoryPanelFileName->Header(),
                      RadioButtonFileNamePos,
                      ComboBoxFileNamePos,
                      EditFileNameText,
                      RadioButtonFileNameDir,
                      EditFileNameDirText,
                      CategoryPanelCharSet->Header(),
                      RadioGroupCharsetFrom->Button(0),
                      RadioGroupCharsetTo->Button(0),
                      ListViewFileName,
                      BtnCancel};
  for (size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(order[i - 1], order[i]);
  }

  // The client area is 517 x 323, centred on the screen.
  const QRect screen =
      this->screen() != nullptr ? this->screen()->availableGeometry() : QRect(0, 0, 1024, 768);
  setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                  QSize(kClientWidth, kClientHeight), screen));
}

void TFormMain::BuildToolBar() {
  ActionToolBar1 = new QToolBar(this);
  ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
  ActionToolBar1->setMovable(false);
  ActionToolBar1->setFloatable(false);
  ActionToolBar1->setFixedHeight(kToolBarHeight);
  ActionToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
  ActionToolBar1->toggleViewAction()->setVisible(false);
  addToolBar(Qt::TopToolBarArea, ActionToolBar1);

  // The buttons carry captions of their own, with the access keys Alt+Z and Alt+Y; the
  // actions keep theirs.
  const std::pair<QAction*, QString> buttons[] = {
      {ActionHelpHelp, QStringLiteral("ヘルプ(&Z)")},
      {ActionHelpVersion, QStringLiteral("バージョン情報(&Y)")}};
  for (const auto& [action, caption] : buttons) {
    auto* button = new QToolButton(ActionToolBar1);
    button->setObjectName(QStringLiteral("ToolButton") + action->objectName().mid(6));
    button->setText(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setEnabled(action->isEnabled());
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
    connect(action, &QAction::changed, button,
            [button, action] { button->setEnabled(action->isEnabled()); });
    ActionToolBar1->addWidget(button);
  }
}

void TFormMain::BuildSettingsColumn() {
  CategoryPanelGroupConfig = new TCategoryPanelGroup;
  CategoryPanelGroupConfig->setObjectName(QStringLiteral("CategoryPanelGroupConfig"));
  CategoryPanelGroupConfig->setMinimumWidth(60);

  CategoryPanelFileName = new TCategoryPanel(QStringLiteral("ファイル名"), kFileNamePanelHeight);
  CategoryPanelFileName->setObjectName(QStringLiteral("CategoryPanelFileName"));
  QWidget* names = CategoryPanelFileName->Surface();
  auto* rows = new QVBoxLayout(names);
  rows->setContentsMargins(6, 6, 6, 6);
  rows->setSpacing(4);

  auto* row1 = new QHBoxLayout;
  RadioButtonFileNamePos = new QRadioButton(QStringLiteral("ファイル名の"), names);
  RadioButtonFileNamePos->setObjectName(QStringLiteral("RadioButtonFileNamePos"));
  ComboBoxFileNamePos = new QComboBox(names);
  ComboBoxFileNamePos->setObjectName(QStringLiteral("ComboBoxFileNamePos"));
  ComboBoxFileNamePos->addItems({QStringLiteral("前に"), QStringLiteral("後ろに")});
  ComboBoxFileNamePos->setEditable(false);
  ComboBoxFileNamePos->setAccessibleName(QStringLiteral("付ける位置"));
  // Qt on Linux names a drop-down by its current item and takes what it is from the label
  // related to it, so the drop-down gets a label that says so without being shown.
  auto* comboLabel = new QLabel(QStringLiteral("付ける位置"), names);
  comboLabel->setObjectName(QStringLiteral("LabelComboBoxFileNamePos"));
  comboLabel->setBuddy(ComboBoxFileNamePos);
  comboLabel->hide();
  row1->addWidget(RadioButtonFileNamePos);
  row1->addWidget(ComboBoxFileNamePos, 1);
  rows->addLayout(row1);

  auto* row2 = new QHBoxLayout;
  EditFileNameText = new QLineEdit(names);
  EditFileNameText->setObjectName(QStringLiteral("EditFileNameText"));
  EditFileNameText->setAccessibleName(QStringLiteral("ファイル名に付ける文字"));
  Label2 = new QLabel(QStringLiteral("をつけて保存"), names);
  Label2->setObjectName(QStringLiteral("Label2"));
  row2->addSpacing(kRowIndent);
  row2->addWidget(EditFileNameText, 1);
  row2->addWidget(Label2);
  rows->addLayout(row2);

  RadioButtonFileNameDir = new QRadioButton(QStringLiteral("フォルダを作ってその中に保存"), names);
  RadioButtonFileNameDir->setObjectName(QStringLiteral("RadioButtonFileNameDir"));
  rows->addWidget(RadioButtonFileNameDir);

  auto* row4 = new QHBoxLayout;
  Label3 = new QLabel(QStringLiteral("フォルダ名"), names);
  Label3->setObjectName(QStringLiteral("Label3"));
  EditFileNameDirText = new QLineEdit(names);
  EditFileNameDirText->setObjectName(QStringLiteral("EditFileNameDirText"));
  EditFileNameDirText->setAccessibleName(QStringLiteral("フォルダ名"));
  Label3->setBuddy(EditFileNameDirText);
  row4->addSpacing(kRowIndent);
  row4->addWidget(Label3);
  row4->addWidget(EditFileNameDirText, 1);
  rows->addLayout(row4);
  rows->addStretch(1);

  CategoryPanelCharSet = new TCategoryPanel(QStringLiteral("文字コード"), kCharSetPanelHeight);
  CategoryPanelCharSet->setObjectName(QStringLiteral("CategoryPanelCharSet"));
  auto* surface = new QVBoxLayout(CategoryPanelCharSet->Surface());
  surface->setContentsMargins(4, 2, 4, 4);
  GridPanel1 = new QWidget(CategoryPanelCharSet->Surface());
  GridPanel1->setObjectName(QStringLiteral("GridPanel1"));
  surface->addWidget(GridPanel1);
  auto* grid = new QGridLayout(GridPanel1);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(4);
  RadioGroupCharsetFrom =
      new TRadioGroup(QStringLiteral("変換元"),
                      {QStringLiteral("自動認識"), QStringLiteral("Shift_JIS"),
                       QStringLiteral("JIS"), QStringLiteral("EUC-JP"), QStringLiteral("UTF-8")},
                      GridPanel1);
  RadioGroupCharsetFrom->setObjectName(QStringLiteral("RadioGroupCharsetFrom"));
  RadioGroupCharsetTo = new TRadioGroup(QStringLiteral("変換先"),
                                        {QStringLiteral("Shift_JIS"), QStringLiteral("JIS"),
                                         QStringLiteral("EUC-JP"), QStringLiteral("UTF-8")},
                                        GridPanel1);
  RadioGroupCharsetTo->setObjectName(QStringLiteral("RadioGroupCharsetTo"));
  grid->addWidget(RadioGroupCharsetFrom, 0, 0);
  grid->addWidget(RadioGroupCharsetTo, 0, 1);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);

  CategoryPanelGroupConfig->AddPanel(CategoryPanelFileName);
  CategoryPanelGroupConfig->AddPanel(CategoryPanelCharSet);
}

void TFormMain::BuildMainPanel() {
  PanelMain = new QWidget;
  PanelMain->setObjectName(QStringLiteral("PanelMain"));
  auto* column = new QVBoxLayout(PanelMain);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  Splitter2 = new QSplitter(Qt::Vertical, PanelMain);
  Splitter2->setObjectName(QStringLiteral("Splitter2"));
  Splitter2->setHandleWidth(3);
  Splitter2->setChildrenCollapsible(false);
  column->addWidget(Splitter2, 1);

  LabelDragDrop =
      new QLabel(QStringLiteral("ファイルをここにドラッグ&ドロップしてください。"), Splitter2);
  LabelDragDrop->setObjectName(QStringLiteral("LabelDragDrop"));
  // Plain text: the "&" is a character, not an access-key mark.
  LabelDragDrop->setTextFormat(Qt::PlainText);
  LabelDragDrop->setWordWrap(true);
  LabelDragDrop->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  LabelDragDrop->setMargin(8);
  LabelDragDrop->setMinimumHeight(40);
  QFont prompt(FormFontFamily());
  prompt.setPixelSize(kDropPromptPixelHeight);
  LabelDragDrop->setFont(prompt);

  PanelConvert = new QWidget(Splitter2);
  PanelConvert->setObjectName(QStringLiteral("PanelConvert"));
  auto* convert = new QVBoxLayout(PanelConvert);
  convert->setContentsMargins(0, 0, 0, 0);
  convert->setSpacing(0);

  ListModel_ = new TFileNameListModel(this);
  ListModel_->SetRowTextFunction([this](int row) { return Q(ListViewFileNameData(row)); });
  ListViewFileName = new QTreeView(PanelConvert);
  ListViewFileName->setObjectName(QStringLiteral("ListViewFileName"));
  ListViewFileName->setAccessibleName(QStringLiteral("変換待ちのファイル"));
  ListViewFileName->setRootIsDecorated(false);
  ListViewFileName->setItemsExpandable(false);
  // Every row is one line of text: the view need not measure rows it does not draw.
  ListViewFileName->setUniformRowHeights(true);
  ListViewFileName->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListViewFileName->setSelectionMode(QAbstractItemView::SingleSelection);
  ListViewFileName->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListViewFileName->setAllColumnsShowFocus(true);
  ListViewFileName->setModel(ListModel_);
  ListViewFileName->header()->setStretchLastSection(false);
  ListViewFileName->header()->setSectionsMovable(false);
  ListViewFileName->header()->resizeSection(0, kFileListColumnWidth);
  ListViewFileName->viewport()->installEventFilter(this);
  convert->addWidget(ListViewFileName, 1);

  PanelStatus = new QWidget(PanelConvert);
  PanelStatus->setObjectName(QStringLiteral("PanelStatus"));
  PanelStatus->setFixedHeight(kStatusRowHeight);
  auto* status = new QHBoxLayout(PanelStatus);
  status->setContentsMargins(2, 2, 2, 2);
  status->setSpacing(4);
  ProgressBar1 = new QProgressBar(PanelStatus);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setAccessibleName(QStringLiteral("進行状況"));
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  BtnCancel = new QPushButton(QStringLiteral("キャンセル"), PanelStatus);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  BtnCancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
  BtnCancel->setFixedWidth(kCancelButtonWidth);
  BtnCancel->setAutoDefault(false);
  // A shortcut of the button itself acts only while the button can be pressed.
  BtnCancel->setShortcut(QKeySequence(Qt::Key_Escape));
  status->addWidget(ProgressBar1, 1);
  status->addWidget(BtnCancel);
  convert->addWidget(PanelStatus);

  Splitter2->addWidget(LabelDragDrop);
  Splitter2->addWidget(PanelConvert);
  Splitter2->setStretchFactor(0, 1);
  Splitter2->setStretchFactor(1, 0);
  Splitter2->setSizes({kClientHeight, kConvertPanelHeight});

  StatusBar1 = new QStatusBar(PanelMain);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  column->addWidget(StatusBar1);
}

void TFormMain::SetDefaultSettings() {
  RadioGroupCharsetFrom->SetItemIndex(0);
  RadioGroupCharsetTo->SetItemIndex(0);
  RadioButtonFileNamePos->setChecked(true);
  ComboBoxFileNamePos->setCurrentIndex(0);
  EditFileNameText->setText(QStringLiteral("s-"));
  EditFileNameDirText->setText(QStringLiteral("変換済み"));
  PanelConvert->hide();
}

void TFormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The first idle moment counts only once the window is on screen: watch for its exposure.
  if (FirstIdleAttached_ && WatchedWindow_ == nullptr && windowHandle() != nullptr) {
    WatchedWindow_ = windowHandle();
    WatchedWindow_->installEventFilter(this);
  }
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListViewFileName->viewport() && event->type() == QEvent::Resize) {
    ListViewFileNameResize();
  } else if (watched == WatchedWindow_ && event->type() == QEvent::Expose &&
             WatchedWindow_->isExposed() && FirstIdleAttached_ && !FirstIdleQueued_) {
    FirstIdleQueued_ = true;
    // A zero-time timer fires once every event already waiting has been handled.
    QTimer::singleShot(0, this, [this] { Guarded([this] { FirstIdle(); }); });
  }
  return QMainWindow::eventFilter(watched, event);
}

void TFormMain::FirstIdle() {
  if (!FirstIdleAttached_) {
    return;
  }
  FirstIdleAttached_ = false;
  if (WatchedWindow_ != nullptr) {
    WatchedWindow_->removeEventFilter(this);
    WatchedWindow_ = nullptr;
  }
  // Closed before its first idle moment: the program is ending, and a box now would be an
  // orphan.
  if (!isVisible()) {
    return;
  }

  const bool loaded = Nkf.load_library(LibraryPathFor(ExePath_)) != -1;
  if (!loaded) {
    ShowWarning(Nkf.get_error_message());
    close();
  }
  emit FirstIdleFinished(loaded);
}

void TFormMain::ResetProgress() {
  TLock lock(DisplayLock);
  PendingSteps_ = 0;  // steps from before the reset count no more
  ProgressBar1->setValue(0);
  ProgressBar1->setMaximum(FileNameList.Count());
}

void TFormMain::StepProgress() {
  if (DisplayThrottled()) {
    ++PendingSteps_;
    return;
  }
  AdvanceProgress(1);
}

void TFormMain::AdvanceProgress(int steps) {
  // Stops at the maximum rather than starting over.
  const int value = std::min(ProgressBar1->value() + steps, ProgressBar1->maximum());
  if (value > ProgressBar1->value())
    ProgressBar1->setValue(value);
}

void TFormMain::RefreshFileList() {
  TLock lock(DisplayLock);
  if (DisplayThrottled()) {
    ListPending_ = true;
    return;
  }
  ShowFileListNow();
}

bool TFormMain::DisplayThrottled() {
  // While a run goes on the worker steps the progress and refreshes the list for every file,
  // thousands of times a second for small files, and each redraw costs more than converting
  // such a file. So during a run the display is brought up to date at once unless that was
  // done within the last frame, and else at the frame's end: the user sees every frame's
  // state, and the worker does not wait for drawing that no screen could show.
  constexpr int kFrameMilliseconds = 16;
  const bool running = JvThreadConvert != nullptr && JvThreadConvert->Count() > 0;
  if (running && LastDisplay_.isValid() && LastDisplay_.elapsed() < kFrameMilliseconds) {
    if (!DisplayTimer_->isActive())
      DisplayTimer_->start(kFrameMilliseconds - static_cast<int>(LastDisplay_.elapsed()));
    return true;
  }
  LastDisplay_.restart();
  return false;
}

void TFormMain::ShowPendingDisplay() {
  DisplayTimer_->stop();
  if (PendingSteps_ > 0)
    AdvanceProgress(std::exchange(PendingSteps_, 0));
  if (std::exchange(ListPending_, false))
    ShowFileListNow();
  LastDisplay_.restart();
}

void TFormMain::ShowFileListNow() {
  TLock lock(DisplayLock);
  ListModel_->SetRowCount(FileNameList.Count());
  ListViewFileNameResize();
  // At once, not at the next paint: the user-interface thread may stay busy for a while.
  ListViewFileName->viewport()->repaint();
}

std::u16string TFormMain::ListViewFileNameData(int index) {
  return FileNamePart(FileNameList.Get(index));
}

void TFormMain::ListViewFileNameResize() {
  ListViewFileName->header()->resizeSection(0, ListViewFileName->viewport()->width() - 2);
}

void TFormMain::SetWarningPresenter(WarningPresenter presenter) {
  ShowWarning_ = std::move(presenter);
}

void TFormMain::SetHelpOpener(HelpOpener opener) {
  OpenHelp_ = std::move(opener);
}

void TFormMain::ShowWarning(const std::u16string& text) {
  if (ShowWarning_) {
    ShowWarning_(text);
  }
}

void TFormMain::ActionHelpVersionExecute() {
  // On the stack: the box is destroyed when it closes, and also when showing it throws.
  TFormAboutBox box(this);
  box.exec();
}

void TFormMain::ActionHelpHelpExecute() {
  if (HelpFile_.empty()) {
    ShowWarning(u"ヘルプファイルが見つかりません。");
    return;
  }
  if (!OpenHelp_ || !OpenHelp_(HelpFile_)) {
    ShowWarning(u"ヘルプファイルを開けません。");
  }
}

}  // namespace quillora

namespace quillora {

void TFormMain::SetQuestionPresenter(QuestionPresenter presenter) {
  Ask_ = presenter ? std::move(presenter)
                   : [this](const std::u16string& text) { return ShowQuestionBox(text); };
}

TAnswer TFormMain::ShowQuestionBox(const std::u16string& text) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), Q(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return TAnswer::Yes;
    case QMessageBox::No:
      return TAnswer::No;
    default:
      return TAnswer::Cancel;
  }
}

TAnswer TFormMain::AskToContinue(const std::u16string& text) {
  return Ask_ ? Ask_(text) : TAnswer::Cancel;
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
  // Only files can be converted: anything else is refused before it is dropped.
  if (!DroppedLocalPaths(event->mimeData()).empty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void TFormMain::dragMoveEvent(QDragMoveEvent* event) {
  if (!DroppedLocalPaths(event->mimeData()).empty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void TFormMain::dropEvent(QDropEvent* event) {
  std::vector<std::u16string> paths = DroppedLocalPaths(event->mimeData());
  if (paths.empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  WMDropFiles(MakeDropHandle(std::move(paths)));
}

bool TFormMain::IsNameTextInvalid() {
  if (RadioButtonFileNamePos->isChecked()) {
    if (!HoldsInvalidFileNameCharacter(EditFileNameText->text().toStdU16String()))
      return false;
    ShowWarning(u"ファイル名に使用できない文字が含まれています。");
  }
  if (RadioButtonFileNameDir->isChecked()) {
    if (!HoldsInvalidFileNameCharacter(EditFileNameDirText->text().toStdU16String()))
      return false;
    ShowWarning(u"フォルダ名に使用できない文字が含まれています。");
  }
  return true;
}

void TFormMain::WMDropFiles(HDROP drop) {
  DropHandleOwner handle(drop);
  if (IsNameTextInvalid())
    return;
  StatusBar1->showMessage(QStringLiteral("ファイルがドロップされました。"));
  StatusBar1->repaint();

  std::vector<std::u16string> kept;
  const uint32_t count = DragQueryFile(drop, kDragQueryCount, nullptr, 0);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t length = DragQueryFile(drop, i, nullptr, 0);
    std::u16string path(length + 1, u'\0');
    DragQueryFile(drop, i, path.data(), length + 1);
    path.resize(length);
    // Folders, and items gone since the drop, are passed over without a word.
    if (FileExists(path))
      kept.push_back(std::move(path));
  }
  handle.Release();
  if (kept.empty())
    return;

  FileNameList.AddFiles(kept);
  RefreshFileList();
  ResetProgress();
  // A run going on takes the new paths from the queue itself.
  if (JvThreadConvert->Count() == 0)
    JvThreadConvert->Execute(nullptr);
}

void TFormMain::JvThreadConvertBegin(TJvThread*) {
  ConvertSettings.CharsetFrom = RadioGroupCharsetFrom->ItemIndex();
  ConvertSettings.CharsetTo = RadioGroupCharsetTo->ItemIndex();
  ConvertSettings.NameMode =
      RadioButtonFileNamePos->isChecked() ? TNameMode::AddText : TNameMode::SubFolder;
  ConvertSettings.NamePos = ComboBoxFileNamePos->currentIndex();
  ConvertSettings.NameText = EditFileNameText->text().toStdU16String();
  ConvertSettings.DirText = EditFileNameDirText->text().toStdU16String();
  ResetProgress();
  CategoryPanelGroupConfig->setEnabled(false);
  PanelConvert->show();
  StatusBar1->showMessage(QStringLiteral("変換処理を実行します。"));
}

void TFormMain::JvThreadConvertExecute(TJvBaseThread*, void*) {
  Worker_->Execute(ConvertSettings);
}

void TFormMain::JvThreadConvertFinish(TJvBaseThread*) {
  ShowPendingDisplay();
  PanelConvert->hide();
  CategoryPanelGroupConfig->setEnabled(true);
  StatusBar1->showMessage(QStringLiteral("変換しました。"));
  // Paths dropped after the run last found the queue empty, but before it ended, found a run
  // still listed and started none: they start one now, once this run has left the list. A run
  // stopped by cancel or a declined question leaves its paths for the next drop.
  if (Worker_->EndedOnEmptyQueue() && !FileNameList.IsEmpty()) {
    QTimer::singleShot(0, this, [this] {
      Guarded([this] {
        if (JvThreadConvert && JvThreadConvert->Count() == 0 && !FileNameList.IsEmpty()) {
          RefreshFileList();
          ResetProgress();
          JvThreadConvert->Execute(nullptr);
        }
      });
    });
  }
}

void TFormMain::BtnCancelClick() {
  FileNameList.Clear();
  JvThreadConvert->Terminate();
  // The file in hand is still finished, which for a large one takes a while: the emptied
  // list shows at once that nothing else will be converted.
  ShowFileListNow();
}

}  // namespace quillora
