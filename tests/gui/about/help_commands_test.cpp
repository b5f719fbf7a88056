// The main window's Version and Help commands with the real About box and help viewer. Built
// twice: once carrying the version resource like the program, once without it.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "app/Application.h"
#include "app/HelpViewer.h"
#include "app/UnitFormAboutBox.h"
#include "app/UnitFormMain.h"

namespace quillora {
namespace {

constexpr bool kHasResource = QUILLORA_HAS_VERSION_RESOURCE;

// What was on screen while the Version command ran.
struct SeenBox {
  QWidget* owner;
  bool modal;
  QString version;
};

int LiveAboutBoxes() {
  int count = 0;
  for (QWidget* w : QApplication::allWidgets())
    count += qobject_cast<TFormAboutBox*>(w) != nullptr;
  return count;
}

}  // namespace

class HelpCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  // A program folder of its own: the build's help file and a loadable conversion component
  // beside where the executable would be, so the window loads and stays open.
  void initTestCase() {
    QVERIFY(folder_.isValid());
    QVERIFY(QFile::copy(QStringLiteral(QUILLORA_HELP_FILE), folder_.filePath("quillora.CHM")));
    QVERIFY(QFile::copy(QStringLiteral(QUILLORA_LOADABLE_NKF32), folder_.filePath("nkf32.dll")));
    exePath_ = folder_.filePath(QStringLiteral("quillora")).toStdU16String();
  }

  void init() {
    form_ = std::make_unique<TFormMain>(nullptr, exePath_);
    form_->SetWarningPresenter(
        [this](const std::u16string& text) { warnings_ << QString::fromStdU16String(text); });
    TApplication::Instance()->SetExceptionPresenter(
        [this](const std::u16string& text) { reported_ << QString::fromStdU16String(text); });
    warnings_.clear();
    reported_.clear();
    seen_.clear();
  }
  void cleanup() {
    TApplication::Instance()->SetExceptionPresenter(nullptr);
    form_.reset();
  }

  void versionCommandShowsTheBoxModallyAndDestroysIt() {
    if (!kHasResource)
      QSKIP("this build carries no version resource");
    QVERIFY(form_->ActionHelpVersion->isEnabled());
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<TFormAboutBox*>(QApplication::activeModalWidget());
      if (box == nullptr)
        return;
      seen_.push_back({box->parentWidget(), box->isModal(),
                       box->findChild<QLabel*>(QStringLiteral("Version"))->text()});
      box->findChild<QWidget*>(QStringLiteral("OKButton"))->setFocus();
      QTest::keyClick(box, Qt::Key_Return);
    });
    answer.start(10);

    QSignalSpy loaded(form_.get(), &TFormMain::FirstIdleFinished);
    form_->show();
    QVERIFY(loaded.wait(5000));
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    // The toolbar's access key; the button clicks itself a moment later.
    QTest::keyClick(form_.get(), Qt::Key_Y, Qt::AltModifier);
    QTRY_COMPARE(seen_.size(), 1u);
    QTRY_COMPARE(LiveAboutBoxes(), 0);
    form_->ActionHelpVersion->trigger();  // again: a new box, read afresh
    QCOMPARE(seen_.size(), 2u);
    QCOMPARE(LiveAboutBoxes(), 0);
    for (const SeenBox& box : seen_) {
      QCOMPARE(box.owner, form_.get());
      QVERIFY(box.modal);
      QCOMPARE(box.version, QStringLiteral("バージョン 0.1.0.0"));
    }
    QVERIFY(reported_.isEmpty());
  }

  void missingResourceIsReportedAndNoBoxShows() {
    if (kHasResource)
      QSKIP("this build carries the version resource");
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [this] {
      if (auto* box = qobject_cast<TFormAboutBox*>(QApplication::activeModalWidget())) {
        seen_.push_back({box->parentWidget(), true, QString()});
        box->reject();
      }
    });
    watch.start(5);
    form_->show();
    for (int attempt = 0; attempt < 2; ++attempt) {
      form_->ActionHelpVersion->trigger();
      QTest::qWait(20);
    }
    QCOMPARE(reported_, QStringList(2, QStringLiteral("バージョン情報を取得できません")));
    QVERIFY(seen_.empty());
    QCOMPARE(LiveAboutBoxes(), 0);
    QVERIFY(form_->isVisible() && form_->isEnabled());
  }

  void helpCommandShowsOurViewer() {
    QCOMPARE(QString::fromStdU16String(form_->HelpFile()), folder_.filePath("quillora.CHM"));
    form_->ActionHelpHelp->trigger();
    form_->ActionHelpHelp->trigger();
    const auto viewers = form_->findChildren<THelpViewer*>();
    QCOMPARE(viewers.size(), 1);
    QVERIFY(viewers.front()->isVisible());
    QVERIFY(viewers.front()->Contents()->topLevelItemCount() > 0);
    QVERIFY(warnings_.isEmpty());
    QVERIFY(reported_.isEmpty());
  }

  void aBrokenHelpFileIsAWarning() {
    QTemporaryDir dir;
    QFile broken(dir.filePath(QStringLiteral("quillora.CHM")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    QVERIFY(broken.write("not a help file") > 0);
    broken.close();
    TFormMain form(nullptr, dir.filePath(QStringLiteral("quillora")).toStdU16String());
    QStringList warnings;
    form.SetWarningPresenter(
        [&warnings](const std::u16string& text) { warnings << QString::fromStdU16String(text); });
    form.ActionHelpHelp->trigger();
    QCOMPARE(warnings, QStringList{QStringLiteral("ヘルプファイルを開けません。")});
    QVERIFY(form.findChildren<THelpViewer*>().isEmpty());
  }

 private:
  QTemporaryDir folder_;
  std::u16string exePath_;
  std::unique_ptr<TFormMain> form_;
  QStringList warnings_;
  QStringList reported_;
  std::vector<SeenBox> seen_;
};

}  // namespace quillora

int main(int argc, char** argv) {
  quillora::TApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);
  quillora::HelpCommandsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "help_commands_test.moc"
