// The whole job through the real window: files dropped on it are converted and saved in the
// background, with the questions answered through the window's seam (once through the real
// box), and the window's texts, panel and progress as the user sees them.
#include <sys/resource.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <functional>
#include <memory>

#include "app/CategoryPanel.h"
#include "app/RadioGroup.h"
#include "app/UnitFormMain.h"
#include "platform/DropFiles.h"

namespace quillora {
namespace {

// Beside the real conversion component, so the window loads it as the program does.
const QString kExeInBin = QStringLiteral(QUILLORA_BIN_DIR "/quillora-drop-test");
const QString kHugeLibrary = QStringLiteral(QUILLORA_TEST_LIB_DIR "/nkf_huge.dll");

// 日本語 in Shift_JIS and in UTF-8.
const QByteArray kSjisText("\x93\xfa\x96\x7b\x8c\xea\r\n", 8);
const QByteArray kUtf8Text("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\r\n", 11);

constexpr int kRunTimeout = 20000;

class Window {
 public:
  explicit Window(const QString& exe = kExeInBin)
      : form(std::make_unique<TFormMain>(nullptr, exe.toStdU16String())) {
    form->SetWarningPresenter(
        [this](const std::u16string& t) { warnings << QString::fromStdU16String(t); });
    form->SetQuestionPresenter([this](const std::u16string& t) {
      questions << QString::fromStdU16String(t);
      if (on_question)
        on_question(questions.size());
      if (answers.isEmpty())
        return TAnswer::Yes;
      return answers.takeFirst();
    });
    const auto finish = form->JvThreadConvert->OnFinish;
    form->JvThreadConvert->OnFinish = [this, finish](TJvBaseThread* run) {
      ++finishes;
      if (before_finish)
        before_finish();
      finish(run);
    };
    const auto begin = form->JvThreadConvert->OnBegin;
    form->JvThreadConvert->OnBegin = [this, begin](TJvThread* sender) {
      ++begins;
      begin(sender);
    };
  }

  bool Start() {
    QSignalSpy done(form.get(), &TFormMain::FirstIdleFinished);
    form->show();
    return done.wait(5000) && done.at(0).at(0).toBool();
  }
  void Drop(const QStringList& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : paths)
      urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    // As a real drag: the enter makes the window the drop's target, then the drop lands.
    QDragEnterEvent enter(QPoint(300, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    QDropEvent event(QPointF(300, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &event);
  }
  QString Status() const { return form->StatusBar1->currentMessage(); }
  bool Idle() const {
    return form->JvThreadConvert->Count() == 0 && Status() == QStringLiteral("変換しました。");
  }

  std::unique_ptr<TFormMain> form;
  QStringList warnings;
  QStringList questions;
  QList<TAnswer> answers;
  std::function<void(qsizetype)> on_question;
  std::function<void()> before_finish;
  int begins = 0;
  int finishes = 0;
};

class TestDrop : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  QString In(const QString& name) const { return dir_.filePath(name); }
  void Write(const QString& name, const QByteArray& bytes) const {
    QDir().mkpath(QFileInfo(In(name)).absolutePath());
    QFile f(In(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray Read(const QString& name) const {
    QFile f(In(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  bool Exists(const QString& name) const { return QFileInfo::exists(In(name)); }
  // Every entry left in the folder, so a temporary file left behind shows.
  QStringList Entries(const QString& folder = QString()) const {
    return QDir(In(folder))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  }

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    QDir(dir_.path()).removeRecursively();
    QDir().mkpath(dir_.path());
  }

  void threeFilesAreConvertedEndToEnd() {
    Window w;
    QVERIFY(w.Start());
    w.form->RadioGroupCharsetTo->SetItemIndex(3);
    for (const char* n : {"a.txt", "b.txt", "c.txt"})
      Write(n, kSjisText);
    w.Drop({In("a.txt"), In("b.txt"), In("c.txt")});
    // The begin handler has run inside the drop, on this thread.
    QCOMPARE(w.begins, 1);
    QCOMPARE(w.Status(), QStringLiteral("変換処理を実行します。"));
    QVERIFY(!w.form->CategoryPanelGroupConfig->isEnabled());
    QVERIFY(w.form->PanelConvert->isVisibleTo(w.form.get()));
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QCOMPARE(w.finishes, 1);
    for (const char* n : {"s-a.txt", "s-b.txt", "s-c.txt"})
      QCOMPARE(Read(n), kUtf8Text);
    QCOMPARE(Read("a.txt"), kSjisText);
    QCOMPARE(w.form->ProgressBar1->value(), 3);
    QCOMPARE(w.form->ProgressBar1->maximum(), 3);
    QVERIFY(!w.form->PanelConvert->isVisibleTo(w.form.get()));
    QVERIFY(w.form->CategoryPanelGroupConfig->isEnabled());
    QVERIFY(w.questions.isEmpty());
    QCOMPARE(Entries().size(), 6);
    QCOMPARE(LiveDropHandles(), 0);
  }

  void theSameCodeCopiesAndAnEmptyFileStaysEmpty() {
    Window w;
    QVERIFY(w.Start());
    w.form->RadioGroupCharsetFrom->SetItemIndex(1);   // Shift_JIS to Shift_JIS
    const QByteArray odd("\x82\xa0\x00\xff\x80", 5);  // copied, valid or not
    Write("odd.bin", odd);
    Write("empty.txt", QByteArray());
    w.Drop({In("odd.bin"), In("empty.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QCOMPARE(Read("s-odd.bin"), odd);
    QVERIFY(Exists("s-empty.txt"));
    QCOMPARE(Read("s-empty.txt"), QByteArray());
  }

  void aRefusedDropTouchesNothing_data() {
    QTest::addColumn<bool>("folderMode");
    QTest::addColumn<QString>("nameText");
    QTest::addColumn<QString>("dirText");
    QTest::addColumn<QString>("warning");
    const QString file = QStringLiteral("ファイル名に使用できない文字が含まれています。");
    const QString folder = QStringLiteral("フォルダ名に使用できない文字が含まれています。");
    QTest::newRow("asterisk") << false << "s*"
                              << "ok" << file;
    QTest::newRow("question mark") << false << "?"
                                   << "ok" << file;
    QTest::newRow("slash") << false << "a/b"
                           << "ok" << file;
    QTest::newRow("colon") << false << "a:"
                           << "ok" << file;
    QTest::newRow("tab") << false << "a\tb"
                         << "ok" << file;
    QTest::newRow("quote") << false << "\""
                           << "|" << file;
    QTest::newRow("folder bar") << true << "*"
                                << "x|y" << folder;
    QTest::newRow("folder backslash") << true << ""
                                      << "a\\b" << folder;
  }
  void aRefusedDropTouchesNothing() {
    QFETCH(bool, folderMode);
    QFETCH(QString, nameText);
    QFETCH(QString, dirText);
    QFETCH(QString, warning);
    Window w;
    QVERIFY(w.Start());
    (folderMode ? w.form->RadioButtonFileNameDir : w.form->RadioButtonFileNamePos)
        ->setChecked(true);
    w.form->EditFileNameText->setText(nameText);
    w.form->EditFileNameDirText->setText(dirText);
    Write("a.txt", "x");
    w.Drop({In("a.txt")});
    QCOMPARE(w.warnings, QStringList{warning});
    QCOMPARE(w.Status(), QString());
    QCOMPARE(w.form->FileNameList.Count(), 0);
    QCOMPARE(w.begins, 0);
    QCOMPARE(LiveDropHandles(), 0);
    QTest::qWait(50);
    QCOMPARE(Entries(), QStringList{"a.txt"});
  }

  // Only the chosen mode's text counts, and the empty text is a usable one.
  void theOtherModesTextMayHoldAnything() {
    Window w;
    QVERIFY(w.Start());
    w.form->EditFileNameText->setText(QString());
    w.form->EditFileNameDirText->setText(QStringLiteral("<>|"));
    Write("a.txt", "x");
    w.Drop({In("a.txt")});
    QVERIFY(w.warnings.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QVERIFY(Exists("a(2).txt"));
  }

  void foldersAreSkippedAndNonFileDropsRefused() {
    Window w;
    QVERIFY(w.Start());
    QDir().mkpath(In("sub"));
    w.Drop({In("sub")});
    QCOMPARE(w.Status(), QStringLiteral("ファイルがドロップされました。"));
    QCOMPARE(w.begins, 0);
    QVERIFY(!w.form->PanelConvert->isVisibleTo(w.form.get()));

    Write("a.txt", "a");
    Write("b.txt", "b");
    w.Drop({In("a.txt"), In("sub"), In("b.txt"), In("a.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QCOMPARE(Entries(), (QStringList{"a.txt", "b.txt", "s-a.txt", "s-b.txt", "sub"}));

    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.form.get(), &enter);
    QVERIFY(!enter.isAccepted());
  }

  // While the worker waits for the answer to a question, the window still takes drops: they
  // join the run under way, duplicates of pending paths are not queued again, and a file
  // deleted while it waits is skipped without a word or a step.
  void dropsDuringARunJoinIt() {
    Window w;
    QVERIFY(w.Start());
    for (const char* n : {"a.txt", "b.txt", "c.txt", "d.txt"})
      Write(n, "x");
    QDir().mkpath(In("s-a.txt"));  // a folder where a's output should go: its save fails
    w.on_question = [&](qsizetype n) {
      if (n != 1)
        return;
      w.Drop({In("b.txt"), In("c.txt"), In("b.txt")});
      w.Drop({In("c.txt"), In("d.txt")});
      QCOMPARE(w.form->FileNameList.Count(), 3);
      QCOMPARE(w.Status(), QStringLiteral("ファイルがドロップされました。"));
      QCOMPARE(w.form->ProgressBar1->maximum(), 3);
      QCOMPARE(w.form->ProgressBar1->value(), 0);
      QFile::remove(In("c.txt"));
    };
    w.Drop({In("a.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QCOMPARE(w.begins, 1);
    QCOMPARE(w.questions.size(), 1);
    QVERIFY(w.questions[0].startsWith(QStringLiteral("ファイルの保存に失敗しました。\n") +
                                      In("s-a.txt") + QStringLiteral("\nファイル \"") +
                                      In("s-a.txt") + QStringLiteral("\" を作成できません。")));
    QVERIFY(w.questions[0].endsWith(QStringLiteral("\n処理を続行しますか？")));
    QVERIFY(Exists("s-b.txt"));
    QVERIFY(!Exists("s-c.txt"));
    QVERIFY(Exists("s-d.txt"));
    QCOMPARE(w.form->ProgressBar1->value(), 2);  // b and d; c was gone
  }

  // No on the second of five keeps the last three pending; the next drop converts them first.
  void aSaveFailureAnsweredNoKeepsTheRestForTheNextDrop() {
    Window w;
    QVERIFY(w.Start());
    QStringList inputs;
    for (int i = 1; i <= 6; ++i) {
      Write(QStringLiteral("%1.txt").arg(i), "x");
      inputs << In(QStringLiteral("%1.txt").arg(i));
    }
    QDir().mkpath(In("s-2.txt"));
    w.answers = {TAnswer::No};
    w.Drop(inputs.mid(0, 5));
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QCOMPARE(w.questions.size(), 1);
    QVERIFY(Exists("s-1.txt"));
    QCOMPARE(w.form->FileNameList.Count(), 3);
    QCOMPARE(QString::fromStdU16String(w.form->FileNameList.Get(0)), inputs[2]);
    QVERIFY(!Exists("s-3.txt"));

    w.Drop({inputs[5]});
    QCOMPARE(w.form->ProgressBar1->maximum(), 4);
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle() && Exists("s-6.txt"), kRunTimeout);
    for (int i : {3, 4, 5, 6})
      QVERIFY(Exists(QStringLiteral("s-%1.txt").arg(i)));
    QCOMPARE(w.begins, 2);
  }

  void aConversionFailureAsksAndNoEndsTheRun() {
    QTemporaryDir app;
    QVERIFY(QFile::copy(kHugeLibrary, app.filePath("nkf32.dll")));
    Window w(app.filePath("quillora"));
    QVERIFY(w.Start());
    Write("a.txt", "x");
    Write("b.txt", "y");
    w.answers = {TAnswer::Cancel};
    w.Drop({In("a.txt"), In("b.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QCOMPARE(w.questions,
             QStringList{QStringLiteral("文字コードの変換に失敗しました。\n"
                                        "memory allocation erorr.(get_buffer_pointer)\n"
                                        "処理を続行しますか？")});
    QCOMPARE(Entries(), (QStringList{"a.txt", "b.txt"}));
    QCOMPARE(w.form->FileNameList.Count(), 1);
  }

  // A folder name that is no usable path (a lone surrogate cannot be written to a Linux name):
  // the folder question, and Yes leads to the save question for the same file.
  void anUnusableFolderAsksAndYesLeadsToTheSaveQuestion() {
    Window w;
    QVERIFY(w.Start());
    w.form->RadioButtonFileNameDir->setChecked(true);
    w.form->EditFileNameDirText->setText(QString(QChar(0xD800)));
    Write("a.txt", "x");
    w.answers = {TAnswer::Yes, TAnswer::No};
    w.Drop({In("a.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QCOMPARE(w.questions.size(), 2);
    QVERIFY(w.questions[0].startsWith(QStringLiteral("エラーが発生しました。\n")));
    QVERIFY(w.questions[1].startsWith(QStringLiteral("ファイルの保存に失敗しました。\n")));
    QCOMPARE(Entries(), QStringList{"a.txt"});
  }

  // The cancel button empties the queue and stops the run; the file whose question is open
  // still has its question answered, and whatever the answer the run ends.
  void cancelStopsTheRun() {
    Window w;
    QVERIFY(w.Start());
    for (const char* n : {"a.txt", "b.txt", "c.txt"})
      Write(n, "x");
    QDir().mkpath(In("s-a.txt"));
    w.on_question = [&](qsizetype) {
      QVERIFY(w.form->BtnCancel->isVisible());
      w.form->BtnCancel->click();
      // The list shows at once that nothing more will be converted.
      QCOMPARE(w.form->ListViewFileName->model()->rowCount(), 0);
    };
    w.Drop({In("a.txt"), In("b.txt"), In("c.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QCOMPARE(w.questions.size(), 1);
    QCOMPARE(w.form->FileNameList.Count(), 0);
    QVERIFY(!Exists("s-b.txt"));
    QVERIFY(!Exists("s-c.txt"));
  }

  // Cancel while a large file converts: that file is saved whole, no other starts.
  void cancelDuringAFileSavesIt() {
    Window w;
    QVERIFY(w.Start());
    w.form->RadioGroupCharsetTo->SetItemIndex(3);
    Write("big.txt", kSjisText.repeated(3'000'000));
    Write("next.txt", kSjisText);
    w.Drop({In("big.txt"), In("next.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w.form->ProgressBar1->value() == 1, kRunTimeout);
    w.form->BtnCancel->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QCOMPARE(Read("s-big.txt"), kUtf8Text.repeated(3'000'000));
    QVERIFY(!Exists("s-next.txt"));
    QCOMPARE(Entries().size(), 3);
  }

  // Closing the window during a run: the file in hand is saved whole, the finish handler runs,
  // nothing further starts.
  void closingTheWindowDuringARunEndsIt() {
    auto w = std::make_unique<Window>();
    QVERIFY(w->Start());
    Write("big.txt", kSjisText.repeated(3'000'000));
    Write("next.txt", kSjisText);
    w->Drop({In("big.txt"), In("next.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w->form->ProgressBar1->value() == 1, kRunTimeout);
    int* finishes = &w->finishes;
    w->form->close();
    w->form.reset();
    QCOMPARE(*finishes, 1);
    w.reset();
    QCOMPARE(Read("s-big.txt"), Read("big.txt"));
    QVERIFY(!Exists("s-next.txt"));
    QCOMPARE(Entries().size(), 3);
  }

  // Paths dropped after the run last found the queue empty but before it ended find a run
  // still listed and start none; the finished run then starts the next, so they are converted
  // all the same.
  void aLateDropIsStillConverted() {
    Window w;
    QVERIFY(w.Start());
    Write("a.txt", "a");
    Write("late.txt", "b");
    w.before_finish = [&] {
      w.before_finish = nullptr;
      QCOMPARE(w.form->JvThreadConvert->Count(), 1);
      w.Drop({In("late.txt")});
      QCOMPARE(w.begins, 1);
    };
    w.Drop({In("a.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle() && Exists("s-late.txt"), kRunTimeout);
    QCOMPARE(w.begins, 2);
    QCOMPARE(w.form->FileNameList.Count(), 0);
  }

  // A run stopped by a declined question does not restart by itself, late paths or not.
  void aStoppedRunDoesNotRestart() {
    Window w;
    QVERIFY(w.Start());
    Write("a.txt", "a");
    Write("b.txt", "b");
    QDir().mkpath(In("s-a.txt"));
    w.answers = {TAnswer::No};
    w.Drop({In("a.txt"), In("b.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QTest::qWait(100);
    QCOMPARE(w.begins, 1);
    QCOMPARE(w.form->FileNameList.Count(), 1);
    QVERIFY(!Exists("s-b.txt"));
  }

  // A file-size limit stops the save part-way: the question names the output, and nothing of
  // it is left on disk.
  void aSaveThatCannotBeCompletedLeavesNothing() {
    Window w;
    QVERIFY(w.Start());
    Write("big.txt", QByteArray(200000, 'x'));
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100000;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    w.Drop({In("big.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
    QCOMPARE(w.questions.size(), 1);
    QVERIFY(w.questions[0].startsWith(QStringLiteral("ファイルの保存に失敗しました。\n") +
                                      In("s-big.txt") + QStringLiteral("\n")));
    QCOMPARE(Entries(), QStringList{"big.txt"});
  }

  // Once through the real message box: Yes, No and Cancel, its text, and No stops the run.
  void theRealQuestionBox() {
    Window w;
    QVERIFY(w.Start());
    w.form->SetQuestionPresenter(nullptr);  // the window's own box, as the program shows it
    Write("a.txt", "x");
    Write("b.txt", "x");
    QDir().mkpath(In("s-a.txt"));
    QString seen;
    QMessageBox::StandardButtons buttons;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr)
        return;
      seen = box->text();
      buttons = box->standardButtons();
      box->button(QMessageBox::No)->click();
    });
    poll.start(20);
    w.Drop({In("a.txt"), In("b.txt")});
    QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kRunTimeout);
    QVERIFY(seen.startsWith(QStringLiteral("ファイルの保存に失敗しました。\n")));
    QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QVERIFY(!Exists("s-b.txt"));
  }
};

}  // namespace
}  // namespace quillora

QTEST_MAIN(quillora::TestDrop)
#include "drop_test.moc"
