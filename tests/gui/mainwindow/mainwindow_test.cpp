#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/CategoryPanel.h"
#include "app/RadioGroup.h"
#include "app/UnitFormMain.h"
#include "conv/Tnkf.h"
#include "platform/Exception.h"
#include "platform/Text.h"

namespace quillora {
namespace {

const QString kLoadableLibrary = QStringLiteral(QUILLORA_LOADABLE_NKF32);
const QString kProbe = QStringLiteral(QUILLORA_PROBE);

QString Q(const std::u16string& text) {
  return QString::fromStdU16String(text);
}
std::u16string U(const QString& text) {
  return text.toStdU16String();
}

// A window whose warnings and help requests are recorded instead of shown.
struct Fixture {
  explicit Fixture(const QString& folder, const QString& exeName = QStringLiteral("quillora"))
      : form(std::make_unique<TFormMain>(nullptr, U(folder + QLatin1Char('/') + exeName))) {
    form->SetWarningPresenter([this](const std::u16string& text) { warnings << Q(text); });
    form->SetHelpOpener([this](const std::u16string& path) {
      opened << Q(path);
      return helpOpens;
    });
  }

  std::unique_ptr<TFormMain> form;
  QStringList warnings;
  QStringList opened;
  bool helpOpens = true;
};

// Shows the window and waits until its first idle moment has come and gone.
bool ShowAndPassFirstIdle(TFormMain& form) {
  QSignalSpy done(&form, &TFormMain::FirstIdleFinished);
  form.show();
  return done.wait(5000);
}

bool CopyLibraryInto(const QString& folder) {
  return QFile::copy(kLoadableLibrary, folder + QStringLiteral("/nkf32.dll"));
}

// The toolbar's buttons, left to right.
QList<QToolButton*> ToolBarButtons(const TFormMain& form) {
  QList<QToolButton*> buttons;
  for (QAction* action : form.ActionToolBar1->actions()) {
    if (auto* button = qobject_cast<QToolButton*>(form.ActionToolBar1->widgetForAction(action))) {
      buttons << button;
    }
  }
  return buttons;
}

QStringList ToolBarCaptions(const TFormMain& form) {
  QStringList captions;
  for (QToolButton* button : ToolBarButtons(form)) {
    captions << button->text();
  }
  return captions;
}

// A receiver whose every event handler throws the value it was given.
template <typename Thrown>
class Thrower : public QObject {
 public:
  explicit Thrower(Thrown value) : value_(std::move(value)) {}
  bool event(QEvent*) override { throw value_; }

 private:
  Thrown value_;
};

}  // namespace

class TestFormMain : public QObject {
  Q_OBJECT

 private slots:
  void controlsCarryTheirNamesTextsAndStartValues();
  void layoutAtStart();
  void setDefaultSettingsPutsBackTheStartValues();
  void categoryPanelCollapsesToItsHeader();
  void firstIdleWaitsForTheWindowOnScreen();
  void loadFailureWarnsOnceAndCloses();
  void loadSuccessShowsNothing();
  void loadFailureThroughTheRealMessageBox();
  void wholeProgram_data();
  void wholeProgram();
  void helpFilePath_data();
  void helpFilePath();
  void libraryPath_data();
  void libraryPath();
  void helpFileIsPickedOnceBesideTheExecutable();
  void helpCommand();
  void fileListRowsFollowTheQueue();
  void fileNamePart_data();
  void fileNamePart();
  void columnFillsTheListAfterResizeAndRefresh();
  void progressResetsAndSteps();
  void escapePressesCancelOnlyWhileItIsShown();
  void accessibleNames();
  void tabFollowsTheRows();
  void exceptionsFromHandlersAreShownAndTheLoopGoesOn();
};

void TestFormMain::controlsCarryTheirNamesTextsAndStartValues() {
  QTemporaryDir dir;
  Fixture f(dir.path());
  TFormMain& w = *f.form;

  const std::pair<const char*, QObject*> members[] = {
      {"CategoryPanelGroupConfig", w.CategoryPanelGroupConfig},
      {"CategoryPanelCharSet", w.CategoryPanelCharSet},
      {"CategoryPanelFileName", w.CategoryPanelFileName},
      {"RadioButtonFileNamePos", w.RadioButtonFileNamePos},
      {"ComboBoxFileNamePos", w.ComboBoxFileNamePos},
      {"RadioButtonFileNameDir", w.RadioButtonFileNameDir},
      {"PanelMain", w.PanelMain},
      {"LabelDragDrop", w.LabelDragDrop},
      {"PanelStatus", w.PanelStatus},
      {"BtnCancel", w.BtnCancel},
      {"ProgressBar1", w.ProgressBar1},
      {"EditFileNameText", w.EditFileNameText},
      {"Label2", w.Label2},
      {"Splitter1", w.Splitter1},
      {"EditFileNameDirText", w.EditFileNameDirText},
      {"Label3", w.Label3},
      {"ActionManager1", w.ActionManager1},
      {"PanelConvert", w.PanelConvert},
      {"Splitter2", w.Splitter2},
      {"ActionHelpHelp", w.ActionHelpHelp},
      {"ActionHelpVersion", w.ActionHelpVersion},
      {"ListViewFileName", w.ListViewFileName},
      {"GridPanel1", w.GridPanel1},
      {"RadioGroupCharsetFrom", w.RadioGroupCharsetFrom},
      {"RadioGroupCharsetTo", w.RadioGroupCharsetTo},
      {"StatusBar1", w.StatusBar1},
      {"ActionToolBar1", w.ActionToolBar1},
  };
  for (const auto& [name, member] : members) {
    QObject* found = w.findChild<QObject*>(QLatin1String(name));
    QVERIFY2(found != nullptr, name);
    QCOMPARE(found, member);
  }
  QCOMPARE(w.objectName(), QStringLiteral("FormMain"));
  QCOMPARE(w.windowTitle(), QStringLiteral("Quillora"));

  // The toolbar's buttons carry their own captions with access keys; the actions keep theirs.
  QCOMPARE(ToolBarCaptions(w),
           QStringList({QStringLiteral("ヘルプ(&Z)"), QStringLiteral("バージョン情報(&Y)")}));
  QCOMPARE(w.ActionHelpHelp->text(), QStringLiteral("ヘルプ"));
  QCOMPARE(w.ActionHelpVersion->text(), QStringLiteral("バージョン情報"));
  QCOMPARE(w.ActionHelpHelp->property("category").toString(), QStringLiteral("ヘルプ"));
  QCOMPARE(w.ActionHelpVersion->property("category").toString(), QStringLiteral("ヘルプ"));
  QVERIFY(w.ActionHelpHelp->isEnabled());
  QVERIFY(w.ActionHelpVersion->isEnabled());
  QVERIFY(ToolBarButtons(w).at(0)->isEnabled());
  QVERIFY(ToolBarButtons(w).at(1)->isEnabled());

  QCOMPARE(w.CategoryPanelFileName->Caption(), QStringLiteral("ファイル名"));
  QCOMPARE(w.CategoryPanelCharSet->Caption(), QStringLiteral("文字コード"));
  QVERIFY(w.CategoryPanelFileName->Expanded());
  QVERIFY(w.CategoryPanelCharSet->Expanded());
  QCOMPARE(w.RadioButtonFileNamePos->text(), QStringLiteral("ファイル名の"));
  QCOMPARE(w.RadioButtonFileNameDir->text(), QStringLiteral("フォルダを作ってその中に保存"));
  QCOMPARE(w.ComboBoxFileNamePos->count(), 2);
  QCOMPARE(w.ComboBoxFileNamePos->itemText(0), QStringLiteral("前に"));
  QCOMPARE(w.ComboBoxFileNamePos->itemText(1), QStringLiteral("後ろに"));
  QVERIFY(!w.ComboBoxFileNamePos->isEditable());
  QCOMPARE(w.Label2->text(), QStringLiteral("をつけて保存"));
  QCOMPARE(w.Label3->text(), QStringLiteral("フォルダ名"));
  QCOMPARE(w.RadioGroupCharsetFrom->title(), QStringLiteral("変換元"));
  QCOMPARE(w.RadioGroupCharsetFrom->Items(),
           QStringList({QStringLiteral("自動認識"), QStringLiteral("Shift_JIS"),
                        QStringLiteral("JIS"), QStringLiteral("EUC-JP"), QStringLiteral("UTF-8")}));
  QCOMPARE(w.RadioGroupCharsetTo->title(), QStringLiteral("変換先"));
  QCOMPARE(w.RadioGroupCharsetTo->Items(),
           QStringList({QStringLiteral("Shift_JIS"), QStringLiteral("JIS"),
                        QStringLiteral("EUC-JP"), QStringLiteral("UTF-8")}));

  QCOMPARE(w.LabelDragDrop->text(),
           QStringLiteral("ファイルをここにドラッグ&ドロップしてください。"));
  QCOMPARE(w.LabelDragDrop->textFormat(), Qt::PlainText);
  QVERIFY(w.LabelDragDrop->wordWrap());
  QCOMPARE(w.LabelDragDrop->font().pixelSize(), 21);
  QVERIFY(w.LabelDragDrop->alignment() & Qt::AlignVCenter);
  QCOMPARE(w.BtnCancel->text(), QStringLiteral("キャンセル"));
  QVERIFY(!w.BtnCancel->icon().isNull());
  QVERIFY(w.StatusBar1->currentMessage().isEmpty());

  QAbstractItemModel* list = w.ListViewFileName->model();
  QCOMPARE(list->columnCount(), 1);
  QCOMPARE(list->rowCount(), 0);
  QCOMPARE(list->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ファイル名"));
  QCOMPARE(w.ListViewFileName->header()->sectionSize(0), 300);
  QCOMPARE(w.ListViewFileName->selectionBehavior(), QAbstractItemView::SelectRows);
  QCOMPARE(w.ListViewFileName->editTriggers(), QAbstractItemView::NoEditTriggers);

  // Start values.
  QCOMPARE(w.RadioGroupCharsetFrom->ItemIndex(), 0);
  QCOMPARE(w.RadioGroupCharsetTo->ItemIndex(), 0);
  QVERIFY(w.RadioButtonFileNamePos->isChecked());
  QVERIFY(!w.RadioButtonFileNameDir->isChecked());
  QCOMPARE(w.ComboBoxFileNamePos->currentIndex(), 0);
  QCOMPARE(w.EditFileNameText->text(), QStringLiteral("s-"));
  QCOMPARE(w.EditFileNameDirText->text(), QStringLiteral("変換済み"));
  QVERIFY(w.PanelConvert->isHidden());
  QVERIFY(f.warnings.isEmpty());
}

void TestFormMain::layoutAtStart() {
  QTemporaryDir dir;
  QVERIFY(CopyLibraryInto(dir.path()));
  Fixture f(dir.path());
  TFormMain& w = *f.form;
  QVERIFY(ShowAndPassFirstIdle(w));

  QCOMPARE(w.size(), QSize(517, 323));
  const QRect screen = w.screen()->availableGeometry();
  QVERIFY(qAbs(w.geometry().center().x() - screen.center().x()) <= 1);
  QVERIFY(qAbs(w.geometry().center().y() - screen.center().y()) <= 1);

  QCOMPARE(w.ActionToolBar1->geometry(), QRect(0, 0, 517, 23));
  QCOMPARE(w.CategoryPanelGroupConfig->width(), 241);
  QCOMPARE(w.CategoryPanelGroupConfig->height(), 323 - 23);
  QCOMPARE(w.CategoryPanelFileName->height(), 145);
  QCOMPARE(w.CategoryPanelCharSet->height(), 152);
  // Both panels fit, the file-name panel above the code panel, so nothing scrolls yet.
  QVERIFY(w.CategoryPanelFileName->y() < w.CategoryPanelCharSet->y());
  QVERIFY(!w.CategoryPanelGroupConfig->verticalScrollBar()->isVisible());
  QVERIFY(!w.PanelConvert->isVisible());
  // The prompt takes all of the main panel but the status bar.
  QCOMPARE(w.LabelDragDrop->height(), w.PanelMain->height() - w.StatusBar1->height());
  QCOMPARE(w.StatusBar1->geometry().bottom(), w.PanelMain->height() - 1);

  // Row 1 and row 2: the drop-down and the edit box stretch, Label2 keeps to the right edge.
  const QWidget* surface = w.CategoryPanelFileName->Surface();
  const int labelGap = surface->width() - w.Label2->geometry().right();
  QVERIFY(w.ComboBoxFileNamePos->x() > w.RadioButtonFileNamePos->geometry().right());
  QVERIFY(w.EditFileNameText->x() > w.RadioButtonFileNamePos->x());
  QVERIFY(w.EditFileNameDirText->x() > w.Label3->geometry().right());
  const int comboWidth = w.ComboBoxFileNamePos->width();
  const int editWidth = w.EditFileNameText->width();
  w.Splitter1->setSizes({320, 517 - 320 - w.Splitter1->handleWidth()});
  QTRY_COMPARE(w.CategoryPanelGroupConfig->width(), 320);
  QTRY_VERIFY(w.ComboBoxFileNamePos->width() > comboWidth);
  QVERIFY(w.EditFileNameText->width() > editWidth);
  QCOMPARE(surface->width() - w.Label2->geometry().right(), labelGap);

  // The settings column keeps its width when the window grows; it scrolls when it is short.
  w.Splitter1->setSizes({241, 517 - 241 - w.Splitter1->handleWidth()});
  QTRY_COMPARE(w.CategoryPanelGroupConfig->width(), 241);
  w.resize(700, 220);
  QTRY_COMPARE(w.size(), QSize(700, 220));
  QCOMPARE(w.CategoryPanelGroupConfig->width(), 241);
  QTRY_VERIFY(w.CategoryPanelGroupConfig->verticalScrollBar()->isVisible());
  QCOMPARE(w.CategoryPanelFileName->height(), 145);

  // The conversion panel, once shown: 126 high, the 28-high status row at its bottom.
  w.resize(517, 323);
  w.PanelConvert->show();
  QTRY_COMPARE(w.PanelConvert->height(), 126);
  QCOMPARE(w.PanelStatus->height(), 28);
  QCOMPARE(w.PanelStatus->geometry().bottom(), w.PanelConvert->height() - 1);
  QCOMPARE(w.BtnCancel->width(), 84);
  QVERIFY(w.ProgressBar1->geometry().right() < w.BtnCancel->x());
  QVERIFY(w.BtnCancel->geometry().right() > w.PanelStatus->width() - 8);
  QVERIFY(w.ProgressBar1->width() > w.PanelStatus->width() - 84 - 20);
  QVERIFY(f.warnings.isEmpty());
}

void TestFormMain::setDefaultSettingsPutsBackTheStartValues() {
  QTemporaryDir dir;
  Fixture f(dir.path());
  TFormMain& w = *f.form;
  w.RadioGroupCharsetFrom->SetItemIndex(4);
  w.RadioGroupCharsetTo->SetItemIndex(3);
  w.RadioButtonFileNameDir->setChecked(true);
  w.ComboBoxFileNamePos->setCurrentIndex(1);
  w.EditFileNameText->setText(QStringLiteral("x"));
  w.EditFileNameDirText->setText(QStringLiteral("y"));
  w.PanelConvert->show();
  QVERIFY(!w.RadioButtonFileNamePos->isChecked());  // one group: exactly one is chosen

  w.SetDefaultSettings();
  QCOMPARE(w.RadioGroupCharsetFrom->ItemIndex(), 0);
  QCOMPARE(w.RadioGroupCharsetTo->ItemIndex(), 0);
  QVERIFY(w.RadioButtonFileNamePos->isChecked());
  QVERIFY(!w.RadioButtonFileNameDir->isChecked());
  QCOMPARE(w.ComboBoxFileNamePos->currentIndex(), 0);
  QCOMPARE(w.EditFileNameText->text(), QStringLiteral("s-"));
  QCOMPARE(w.EditFileNameDirText->text(), QStringLiteral("変換済み"));
  QVERIFY(w.PanelConvert->isHidden());
}

void TestFormMain::categoryPanelCollapsesToItsHeader() {
  QTemporaryDir dir;
  QVERIFY(CopyLibraryInto(dir.path()));
  Fixture f(dir.path());
  TFormMain& w = *f.form;
  QVERIFY(ShowAndPassFirstIdle(w));
  TCategoryPanel* panel = w.CategoryPanelFileName;
  QSignalSpy changed(panel, &TCategoryPanel::ExpandedChanged);

  QTest::mouseClick(panel->Header(), Qt::LeftButton);
  QVERIFY(!panel->Expanded());
  QCOMPARE(panel->height(), TCategoryPanel::kHeaderHeight);
  QVERIFY(!w.EditFileNameText->isVisible());
  // The panel below moves up to the collapsed header.
  QTRY_COMPARE(w.CategoryPanelCharSet->y(), panel->y() + TCategoryPanel::kHeaderHeight);

  QTest::mouseClick(panel->Header(), Qt::LeftButton);
  QVERIFY(panel->Expanded());
  QTRY_COMPARE(panel->height(), 145);
  QVERIFY(w.EditFileNameText->isVisible());
  QCOMPARE(changed.count(), 2);
  QCOMPARE(changed.at(0).at(0).toBool(), false);
  QCOMPARE(changed.at(1).at(0).toBool(), true);
}

void TestFormMain::firstIdleWaitsForTheWindowOnScreen() {
  QTemporaryDir dir;
  Fixture f(dir.path());
  QSignalSpy done(f.form.get(), &TFormMain::FirstIdleFinished);
  QTest::qWait(100);
  QCOMPARE(done.count(), 0);
  QVERIFY(f.warnings.isEmpty());
  f.form->show();
  QVERIFY(done.wait(5000));

  // A window closed before its first idle moment loads nothing and shows nothing.
  Fixture closed(dir.path());
  QSignalSpy closedDone(closed.form.get(), &TFormMain::FirstIdleFinished);
  closed.form->show();
  closed.form->close();
  QTest::qWait(100);
  QCOMPARE(closedDone.count(), 0);
  QVERIFY(closed.warnings.isEmpty());
}

void TestFormMain::loadFailureWarnsOnceAndCloses() {
  QTemporaryDir dir;  // no nkf32.dll in it
  Fixture f(dir.path());
  QSignalSpy done(f.form.get(), &TFormMain::FirstIdleFinished);
  QVERIFY(ShowAndPassFirstIdle(*f.form));
  QCOMPARE(f.warnings, QStringList{QStringLiteral("NKF32.DLLが見つかりません。")});
  QCOMPARE(done.count(), 1);
  QCOMPARE(done.at(0).at(0).toBool(), false);
  QVERIFY(!f.form->isVisible());

  // It ran once, whatever its outcome: showing the window again loads nothing.
  f.form->show();
  QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
  QTest::qWait(100);
  QCOMPARE(done.count(), 1);
  QCOMPARE(f.warnings.size(), 1);
}

void TestFormMain::loadSuccessShowsNothing() {
  QTemporaryDir dir;
  QVERIFY(CopyLibraryInto(dir.path()));
  Fixture f(dir.path());
  QSignalSpy done(f.form.get(), &TFormMain::FirstIdleFinished);
  QVERIFY(ShowAndPassFirstIdle(*f.form));
  QCOMPARE(done.at(0).at(0).toBool(), true);
  QVERIFY(f.warnings.isEmpty());
  QTest::qWait(50);
  QVERIFY(f.form->isVisible());
  QVERIFY(f.form->PanelConvert->isHidden());
  QVERIFY(f.form->StatusBar1->currentMessage().isEmpty());
  QCOMPARE(f.form->EditFileNameText->text(), QStringLiteral("s-"));
}

void TestFormMain::loadFailureThroughTheRealMessageBox() {
  QTemporaryDir dir;
  auto form = std::make_unique<TFormMain>(nullptr, U(dir.path() + QStringLiteral("/quillora")));
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool ownerVisible = false;
  QTimer answer;
  connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !text.isEmpty()) {
      return;
    }
    text = box->text();
    icon = box->icon();
    buttons = box->standardButtons();
    ownerVisible = form->isVisible();
    box->button(QMessageBox::Ok)->click();
  });
  answer.start(10);
  QVERIFY(ShowAndPassFirstIdle(*form));
  QCOMPARE(text, QStringLiteral("NKF32.DLLが見つかりません。"));
  QCOMPARE(icon, QMessageBox::Warning);
  QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  QVERIFY(ownerVisible);  // the box comes with the window on screen
  QVERIFY(!form->isVisible());
}

void TestFormMain::wholeProgram_data() {
  QTest::addColumn<QString>("layout");
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QStringList>("expected");
  const QString missing = QStringLiteral("box icon=2 onlyOk=1 text=NKF32.DLLが見つかりません。");
  QTest::newRow("no library beside it")
      << "empty" << QStringList() << QStringList({missing, QStringLiteral("first idle loaded=0")});
  QTest::newRow("a file that is no library")
      << "garbage" << QStringList()
      << QStringList({missing, QStringLiteral("first idle loaded=0")});
  QTest::newRow("library beside it")
      << "library" << QStringList() << QStringList({QStringLiteral("first idle loaded=1")});
  QTest::newRow("started through a link from another folder")
      << "link" << QStringList() << QStringList({QStringLiteral("first idle loaded=1")});
  QTest::newRow("start-up throws")
      << "library" << QStringList({QStringLiteral("--fail-at-start")})
      << QStringList({QStringLiteral("box icon=3 onlyOk=1 text=起動できませんでした。")});
}

void TestFormMain::wholeProgram() {
  QFETCH(QString, layout);
  QFETCH(QStringList, arguments);
  QFETCH(QStringList, expected);

  QTemporaryDir dir;
  const QString home = dir.path() + QStringLiteral("/home");
  QVERIFY(QDir().mkpath(home));
  QString program = home + QStringLiteral("/quillora");
  QVERIFY(QFile::copy(kProbe, program));
  if (layout == QStringLiteral("garbage")) {
    QFile junk(home + QStringLiteral("/nkf32.dll"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a library\n");
  } else if (layout != QStringLiteral("empty")) {
    QVERIFY(CopyLibraryInto(home));
  }
  if (layout == QStringLiteral("link")) {
    // The launcher's folder holds no library: it must be found beside the real file.
    const QString bin = dir.path() + QStringLiteral("/bin");
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QFile::link(program, bin + QStringLiteral("/quillora")));
    program = bin + QStringLiteral("/quillora");
  }

  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(dir.path());
  process.start(program, arguments);
  QVERIFY(process.waitForFinished(30000));
  const QString output = QString::fromUtf8(process.readAllStandardOutput());
  QCOMPARE(process.exitStatus(), QProcess::NormalExit);
  QCOMPARE(process.exitCode(), 0);
  QCOMPARE(output.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
}

static const PathSyntax& SyntaxNamed(const QString& name) {
  return name == QStringLiteral("windows") ? PathSyntax::Windows() : PathSyntax::Posix();
}

void TestFormMain::helpFilePath_data() {
  QTest::addColumn<QString>("syntax");
  QTest::addColumn<QString>("exe");
  QTest::addColumn<QString>("help");
  QTest::newRow("no extension: appended") << "posix"
                                          << "/opt/q/quillora"
                                          << "/opt/q/quillora.CHM";
  QTest::newRow("extension replaced") << "posix"
                                      << "/opt/q/quillora.exe"
                                      << "/opt/q/quillora.CHM";
  QTest::newRow("only the last extension") << "posix"
                                           << "/opt/q/quillora.tar.gz"
                                           << "/opt/q/quillora.tar.CHM";
  QTest::newRow("lower-case extension") << "posix"
                                        << "/opt/q/quillora.chm"
                                        << "/opt/q/quillora.CHM";
  QTest::newRow("a dot in a folder is no extension") << "posix"
                                                     << "/opt/q.d/quillora"
                                                     << "/opt/q.d/quillora.CHM";
  QTest::newRow("trailing dot") << "posix"
                                << "/opt/q/quillora."
                                << "/opt/q/quillora.CHM";
  QTest::newRow("windows") << "windows"
                           << "C:\\Program Files\\Q\\Quillora.exe"
                           << "C:\\Program Files\\Q\\Quillora.CHM";
  QTest::newRow("windows, a dot in a folder") << "windows"
                                              << "C:\\q.d\\Quillora"
                                              << "C:\\q.d\\Quillora.CHM";
}

void TestFormMain::helpFilePath() {
  QFETCH(QString, syntax);
  QFETCH(QString, exe);
  QFETCH(QString, help);
  QCOMPARE(Q(HelpFilePathFor(U(exe), SyntaxNamed(syntax))), help);
}

void TestFormMain::libraryPath_data() {
  QTest::addColumn<QString>("syntax");
  QTest::addColumn<QString>("exe");
  QTest::addColumn<QString>("library");
  QTest::newRow("in a folder") << "posix"
                               << "/opt/q/quillora"
                               << "/opt/q/nkf32.dll";
  QTest::newRow("in the root: one delimiter") << "posix"
                                              << "/quillora"
                                              << "/nkf32.dll";
  QTest::newRow("a bare name is never searched for") << "posix"
                                                     << "quillora"
                                                     << "./nkf32.dll";
  QTest::newRow("windows") << "windows"
                           << "C:\\Q\\Quillora.exe"
                           << "C:\\Q\\nkf32.dll";
  QTest::newRow("windows, a drive's root") << "windows"
                                           << "C:\\Quillora.exe"
                                           << "C:\\nkf32.dll";
}

void TestFormMain::libraryPath() {
  QFETCH(QString, syntax);
  QFETCH(QString, exe);
  QFETCH(QString, library);
  QCOMPARE(Q(LibraryPathFor(U(exe), SyntaxNamed(syntax))), library);
}

void TestFormMain::helpFileIsPickedOnceBesideTheExecutable() {
  struct Case {
    const char* name;
    std::function<bool(const QString& folder)> make;
    bool found;
  };
  const auto writeFile = [](const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("help") == 4;
  };
  const Case cases[] = {
      {"none", [](const QString&) { return true; }, false},
      {"upper-case .CHM", [&](const QString& d) { return writeFile(d + "/quillora.CHM"); }, true},
      {"only lower-case .chm", [&](const QString& d) { return writeFile(d + "/quillora.chm"); },
       false},
      {"a folder of that name", [](const QString& d) { return QDir().mkpath(d + "/quillora.CHM"); },
       false},
      {"a link to a file",
       [&](const QString& d) {
         return writeFile(d + "/real.CHM") && QFile::link(d + "/real.CHM", d + "/quillora.CHM");
       },
       true},
      {"a dangling link",
       [](const QString& d) { return QFile::link(d + "/gone.CHM", d + "/quillora.CHM"); }, false},
  };
  for (const Case& c : cases) {
    QTemporaryDir dir;
    QVERIFY2(c.make(dir.path()), c.name);
    Fixture f(dir.path());
    const QString expected = c.found ? dir.path() + QStringLiteral("/quillora.CHM") : QString();
    QVERIFY2(Q(f.form->HelpFile()) == expected, c.name);
  }

  // The test is made once, at start: a help file that appears later is not picked up.
  QTemporaryDir dir;
  Fixture f(dir.path());
  QVERIFY(writeFile(dir.path() + QStringLiteral("/quillora.CHM")));
  QVERIFY(f.form->HelpFile().empty());
}

void TestFormMain::helpCommand() {
  {
    QTemporaryDir dir;
    Fixture f(dir.path());
    f.form->ActionHelpHelp->trigger();
    QCOMPARE(f.warnings, QStringList{QStringLiteral("ヘルプファイルが見つかりません。")});
    QVERIFY(f.opened.isEmpty());
  }
  QTemporaryDir dir;
  QVERIFY(CopyLibraryInto(dir.path()));
  const QString help = dir.path() + QStringLiteral("/quillora.CHM");
  {
    QFile file(help);
    QVERIFY(file.open(QIODevice::WriteOnly));
  }
  Fixture f(dir.path());
  f.form->ActionHelpHelp->trigger();
  QCOMPARE(f.opened, QStringList{help});
  QVERIFY(f.warnings.isEmpty());

  // Alt+Z presses the Help button (Alt+Y, the Version button, is tested with the About box).
  QVERIFY(ShowAndPassFirstIdle(*f.form));
  f.form->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
  QTest::keyClick(f.form.get(), Qt::Key_Z, Qt::AltModifier);
  QTRY_COMPARE(f.opened.size(), 2);
  QVERIFY(f.warnings.isEmpty());

  f.helpOpens = false;
  f.form->ActionHelpHelp->trigger();
  QCOMPARE(f.warnings, QStringList{QStringLiteral("ヘルプファイルを開けません。")});
}

void TestFormMain::fileListRowsFollowTheQueue() {
  QTemporaryDir dir;
  Fixture f(dir.path());
  TFormMain& w = *f.form;
  QAbstractItemModel* list = w.ListViewFileName->model();
  QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::QtTest);
  const auto row = [list](int r) { return list->data(list->index(r, 0)).toString(); };

  w.RefreshFileList();
  QCOMPARE(list->rowCount(), 0);

  w.FileNameList.AddFiles({u"/in/a.txt", u"/in/sub dir/b c.txt", u"/in/\u5909\u63db.txt"});
  QCOMPARE(list->rowCount(), 0);  // the list learns of the queue only when refreshed
  w.RefreshFileList();
  QCOMPARE(list->rowCount(), 3);
  QCOMPARE(row(0), QStringLiteral("a.txt"));
  QCOMPARE(row(1), QStringLiteral("b c.txt"));
  QCOMPARE(row(2), QStringLiteral("変換.txt"));
  QVERIFY(!(list->flags(list->index(0, 0)) & Qt::ItemIsEditable));

  // The worker has taken two since the last refresh: rows past the queue's end draw empty.
  w.FileNameList.PopFront();
  w.FileNameList.PopFront();
  QCOMPARE(list->rowCount(), 3);
  QCOMPARE(row(0), QStringLiteral("変換.txt"));
  QCOMPARE(row(1), QString());
  QCOMPARE(row(2), QString());

  w.RefreshFileList();
  QCOMPARE(list->rowCount(), 1);
  w.FileNameList.Clear();
  w.RefreshFileList();
  QCOMPARE(list->rowCount(), 0);
}

void TestFormMain::fileNamePart_data() {
  QTest::addColumn<QString>("syntax");
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("name");
  QTest::newRow("last component") << "posix"
                                  << "/in/a.txt"
                                  << "a.txt";
  QTest::newRow("no delimiter") << "posix"
                                << "a.txt"
                                << "a.txt";
  QTest::newRow("folder path") << "posix"
                               << "/in/sub/"
                               << "";
  QTest::newRow("empty") << "posix"
                         << ""
                         << "";
  // On Linux "\" and ":" are characters of a name.
  QTest::newRow("backslash in a name") << "posix"
                                       << "/in/a\\b.txt"
                                       << "a\\b.txt";
  QTest::newRow("colon in a name") << "posix"
                                   << "/in/c:d.txt"
                                   << "c:d.txt";
  QTest::newRow("windows") << "windows"
                           << "C:\\in\\a.txt"
                           << "a.txt";
  QTest::newRow("windows, slash") << "windows"
                                  << "C:\\in/b.txt"
                                  << "b.txt";
  QTest::newRow("windows, drive-relative") << "windows"
                                           << "C:c.txt"
                                           << "c.txt";
}

void TestFormMain::fileNamePart() {
  QFETCH(QString, syntax);
  QFETCH(QString, path);
  QFETCH(QString, name);
  QCOMPARE(Q(FileNamePart(U(path), SyntaxNamed(syntax))), name);
}

void TestFormMain::columnFillsTheListAfterResizeAndRefresh() {
  QTemporaryDir dir;
  QVERIFY(CopyLibraryInto(dir.path()));
  Fixture f(dir.path());
  TFormMain& w = *f.form;
  QTreeView* list = w.ListViewFileName;
  QVERIFY(ShowAndPassFirstIdle(w));
  w.PanelConvert->show();
  const auto fills = [list] {
    return list->header()->sectionSize(0) == list->viewport()->width() - 2;
  };
  QTRY_VERIFY(list->isVisible());
  QTRY_VERIFY(fills());

  w.resize(800, 400);
  QTRY_COMPARE(w.width(), 800);
  QTRY_VERIFY(fills());
  w.Splitter1->setSizes({150, 800 - 150 - w.Splitter1->handleWidth()});
  QTRY_VERIFY(fills());

  // Enough rows for a vertical scroll bar: the column shrinks with the client area.
  const int before = list->viewport()->width();
  std::vector<std::u16string> paths;
  for (int i = 0; i < 200; ++i) {
    paths.push_back(u"/in/" + FromUtf8(std::to_string(i)) + u".txt");
  }
  w.FileNameList.AddFiles(paths);
  w.RefreshFileList();
  QTRY_VERIFY(list->verticalScrollBar()->isVisible());
  QTRY_VERIFY(list->viewport()->width() < before);
  QVERIFY(fills());
  QVERIFY(!list->horizontalScrollBar()->isVisible());
}

void TestFormMain::progressResetsAndSteps() {
  QTemporaryDir dir;
  Fixture f(dir.path());
  TFormMain& w = *f.form;
  w.ResetProgress();
  QCOMPARE(w.ProgressBar1->value(), 0);
  QCOMPARE(w.ProgressBar1->maximum(), 0);

  w.FileNameList.AddFiles({u"/a", u"/b", u"/c"});
  w.ResetProgress();
  QCOMPARE(w.ProgressBar1->value(), 0);
  QCOMPARE(w.ProgressBar1->maximum(), 3);
  for (int i = 0; i < 4; ++i) {
    w.StepProgress();
  }
  QCOMPARE(w.ProgressBar1->value(), 3);  // held at the maximum

  // More files join a run: the bar starts again over the new count.
  w.FileNameList.AddFiles({u"/d", u"/e"});
  w.ResetProgress();
  QCOMPARE(w.ProgressBar1->value(), 0);
  QCOMPARE(w.ProgressBar1->maximum(), 5);
  w.StepProgress();
  QCOMPARE(w.ProgressBar1->value(), 1);
}

void TestFormMain::escapePressesCancelOnlyWhileItIsShown() {
  QTemporaryDir dir;
  QVERIFY(CopyLibraryInto(dir.path()));
  Fixture f(dir.path());
  TFormMain& w = *f.form;
  QSignalSpy clicked(w.BtnCancel, &QPushButton::clicked);
  QVERIFY(ShowAndPassFirstIdle(w));
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  w.EditFileNameText->setFocus();
  QTest::keyClick(w.EditFileNameText, Qt::Key_Escape);
  QTest::qWait(50);
  QCOMPARE(clicked.count(), 0);

  w.PanelConvert->show();
  QTRY_VERIFY(w.BtnCancel->isVisible());
  QTest::keyClick(w.EditFileNameText, Qt::Key_Escape);
  QTRY_COMPARE(clicked.count(), 1);
}

void TestFormMain::accessibleNames() {
  QTemporaryDir dir;
  Fixture f(dir.path());
  TFormMain& w = *f.form;
  const std::pair<QWidget*, QString> named[] = {
      {w.EditFileNameText, QStringLiteral("ファイル名に付ける文字")},
      {w.EditFileNameDirText, QStringLiteral("フォルダ名")},
      {w.ListViewFileName, QStringLiteral("変換待ちのファイル")},
      {w.ProgressBar1, QStringLiteral("進行状況")},
      // Those whose captions say what they are.
      {w.RadioButtonFileNamePos, QStringLiteral("ファイル名の")},
      {w.RadioButtonFileNameDir, QStringLiteral("フォルダを作ってその中に保存")},
      {w.BtnCancel, QStringLiteral("キャンセル")},
      {w.RadioGroupCharsetFrom, QStringLiteral("変換元")},
      {w.RadioGroupCharsetTo->Button(3), QStringLiteral("UTF-8")},
      {w.CategoryPanelCharSet->Header(), QStringLiteral("文字コード")},
  };
  for (const auto& [widget, name] : named) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY2(accessible != nullptr, qPrintable(widget->objectName()));
    QCOMPARE(accessible->text(QAccessible::Name), name);
  }

  // Qt on Linux names a drop-down by its current item; what it is comes from its label.
  QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(w.ComboBoxFileNamePos);
  QCOMPARE(w.ComboBoxFileNamePos->accessibleName(), QStringLiteral("付ける位置"));
#ifdef Q_OS_UNIX
  const auto labels = combo->relations(QAccessible::Label);
  QCOMPARE(labels.size(), 1);
  QCOMPARE(labels.front().first->text(QAccessible::Name), QStringLiteral("付ける位置"));
#else
  QCOMPARE(combo->text(QAccessible::Name), QStringLiteral("付ける位置"));
#endif
}

void TestFormMain::tabFollowsTheRows() {
  QTemporaryDir dir;
  QVERIFY(CopyLibraryInto(dir.path()));
  Fixture f(dir.path());
  TFormMain& w = *f.form;
  QVERIFY(ShowAndPassFirstIdle(w));
  w.PanelConvert->show();
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  // What a focused control is called here: a radio group's buttons count as the group.
  const auto nameOf = [&w](QWidget* widget) -> QString {
    if (widget == nullptr) {
      return QStringLiteral("(none)");
    }
    if (widget == w.CategoryPanelFileName->Header()) {
      return QStringLiteral("header ファイル名");
    }
    if (widget == w.CategoryPanelCharSet->Header()) {
      return QStringLiteral("header 文字コード");
    }
    if (auto* group = qobject_cast<TRadioGroup*>(widget->parentWidget())) {
      return group->objectName();
    }
    return widget->objectName();
  };
  // Tab from the first control round to it again.
  const auto tabRound = [&] {
    w.CategoryPanelFileName->Header()->setFocus(Qt::TabFocusReason);
    QStringList seen = {nameOf(QApplication::focusWidget())};
    for (int i = 0; i < 20; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      seen << nameOf(QApplication::focusWidget());
      if (seen.back() == seen.front()) {
        break;
      }
    }
    return seen;
  };
  // The two naming radio buttons are one group with one Tab stop, the chosen one, in its row.
  const QStringList head = {QStringLiteral("header ファイル名")};
  const QStringList rows = {QStringLiteral("ComboBoxFileNamePos"),
                            QStringLiteral("EditFileNameText")};
  const QStringList tail = {
      QStringLiteral("EditFileNameDirText"),   QStringLiteral("header 文字コード"),
      QStringLiteral("RadioGroupCharsetFrom"), QStringLiteral("RadioGroupCharsetTo"),
      QStringLiteral("ListViewFileName"),      QStringLiteral("BtnCancel"),
      QStringLiteral("header ファイル名")};
  QCOMPARE(tabRound(), head + QStringList{QStringLiteral("RadioButtonFileNamePos")} + rows + tail);

  // The arrow keys move within the group, and the stop moves with the choice.
  w.RadioButtonFileNamePos->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w.RadioButtonFileNamePos, Qt::Key_Down);
  QCOMPARE(QApplication::focusWidget(), w.RadioButtonFileNameDir);
  QVERIFY(w.RadioButtonFileNameDir->isChecked());
  QCOMPARE(tabRound(), head + rows + QStringList{QStringLiteral("RadioButtonFileNameDir")} + tail);

  // Within a radio group too.
  w.RadioGroupCharsetTo->Button(0)->setFocus(Qt::TabFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  QCOMPARE(w.RadioGroupCharsetTo->ItemIndex(), 1);
}

void TestFormMain::exceptionsFromHandlersAreShownAndTheLoopGoesOn() {
  TApplication* application = TApplication::Instance();
  QVERIFY(application != nullptr);
  QStringList shown;
  application->SetExceptionPresenter(
      [&shown](const std::u16string& message) { shown << Q(message); });

  Thrower<Exception> ours(Exception(u"壊れました"));
  Thrower<NkfException> adapter(NkfException(u"GetProcAddress(NkfConvert) error."));
  Thrower<std::runtime_error> foreign(std::runtime_error("not ours"));
  Thrower<int> value(42);
  QObject* receivers[] = {&ours, &adapter, &foreign, &value};
  for (QObject* receiver : receivers) {
    QCoreApplication::postEvent(receiver, new QEvent(QEvent::User));
  }
  bool timerFired = false;
  QTimer::singleShot(0, [&timerFired] { timerFired = true; });
  QTRY_VERIFY(timerFired);
  QCOMPARE(shown, QStringList({QStringLiteral("壊れました"),
                               QStringLiteral("GetProcAddress(NkfConvert) error."), QString(),
                               QString()}));

  // A command's handler that throws reaches the same report.
  shown.clear();
  QTemporaryDir dir;
  QFile(dir.path() + QStringLiteral("/quillora.CHM")).open(QIODevice::WriteOnly);
  Fixture f(dir.path());
  f.form->SetHelpOpener(
      [](const std::u16string&) -> bool { throw Exception(u"ビューアが起動できません。"); });
  f.form->ActionHelpHelp->trigger();
  QCOMPARE(shown, QStringList{QStringLiteral("ビューアが起動できません。")});
  application->SetExceptionPresenter(nullptr);
}

}  // namespace quillora

int main(int argc, char** argv) {
  quillora::TApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);
  QTEST_SET_MAIN_SOURCE_PATH
  quillora::TestFormMain test;
  return QTest::qExec(&test, argc, argv);
}

#include "mainwindow_test.moc"
