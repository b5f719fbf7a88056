#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/Tkappinfo.h"
#include "app/UnitFormAboutBox.h"
#include "platform/Exception.h"

using quillora::Exception;
using quillora::TFormAboutBox;
using quillora::TkAppInfo;

namespace {

const QString kFixtures = QStringLiteral(VERSION_FIXTURES);
const QString kDescription = QStringLiteral(
    "テキストファイルの文字コード (Shift_JIS・JIS・EUC-JP・UTF-8) をまとめて変換します");

std::u16string Path(const QString& path) {
  return path.toStdU16String();
}

QString LabelText(const QWidget& box, const char* name) {
  const auto* label = box.findChild<QLabel*>(QString::fromLatin1(name));
  return label != nullptr ? label->text() : QStringLiteral("<no label %1>").arg(name);
}

int AboutBoxes() {
  int count = 0;
  for (QWidget* w : QApplication::allWidgets()) {
    if (qobject_cast<TFormAboutBox*>(w) != nullptr)
      ++count;
  }
  return count;
}

}  // namespace

class AboutBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setApplicationDisplayName(QStringLiteral("Quillora"));
    owner_ = std::make_unique<QWidget>();
  }

  // This test program carries the real resource, as the program does.
  void showsTheResourceOfTheRunningExecutable() {
    TFormAboutBox box(owner_.get());
    QCOMPARE(box.windowTitle(), QStringLiteral("バージョン情報"));
    QCOMPARE(box.objectName(), QStringLiteral("FormAboutBox"));
    QCOMPARE(box.parentWidget(), owner_.get());
    // The title comes from the application, not from the resource's empty ProductName.
    QCOMPARE(LabelText(box, "ProductName"), QStringLiteral("Quillora"));
    // FileVersion, not ProductVersion "1.0.0.0" nor the numeric version.
    QCOMPARE(LabelText(box, "Version"), QStringLiteral("バージョン 0.1.0.0"));
    QCOMPARE(LabelText(box, "Copyright"), QStringLiteral("(C) 2026 Quillora Project"));
    QCOMPARE(LabelText(box, "Comments"), kDescription);
    QCOMPARE(LabelText(box, "LabelUrl"), QStringLiteral("https://quillora.example.org/"));
  }

  void layoutFollowsTheWindowDescription() {
    TFormAboutBox box(owner_.get());
    QCOMPARE(box.size(), QSize(298, 213));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QVERIFY(!(box.windowFlags() & Qt::WindowMinMaxButtonsHint));

    struct Placed {
      const char* name;
      QRect geometry;  // an empty size: sized to its text
      const char* parent;
    };
    const Placed placed[] = {
        {"Panel1", QRect(8, 8, 281, 161), "FormAboutBox"},
        {"ProgramIcon", QRect(8, 8, 64, 64), "Panel1"},
        {"ProductName", QRect(88, 16, 0, 0), "Panel1"},
        {"Version", QRect(88, 40, 0, 0), "Panel1"},
        {"Copyright", QRect(8, 80, 0, 0), "Panel1"},
        {"Comments", QRect(8, 118, 265, 35), "Panel1"},
        {"OKButton", QRect(111, 180, 75, 25), "FormAboutBox"},
        {"LabelUrl", QRect(8, 99, 0, 0), "Panel1"},
    };
    for (const Placed& p : placed) {
      const auto* w = box.findChild<QWidget*>(QString::fromLatin1(p.name));
      QVERIFY2(w != nullptr, p.name);
      QCOMPARE(w->parentWidget()->objectName(), QString::fromLatin1(p.parent));
      QCOMPARE(w->pos(), p.geometry.topLeft());
      if (QByteArrayView(p.name) == "LabelUrl") {
        // 256 x 13, grown to the font's line when that is taller, up to the description.
        QCOMPARE(w->width(), 256);
        QVERIFY(w->height() >= 13 && w->height() >= w->sizeHint().height());
        QVERIFY(w->geometry().bottom() < 118);
      } else if (!p.geometry.isEmpty()) {
        QCOMPARE(w->size(), p.geometry.size());
      } else {
        const auto* label = qobject_cast<const QLabel*>(w);
        QCOMPARE(label->size(), label->sizeHint());
      }
    }
    const auto* comments = box.findChild<QLabel*>(QStringLiteral("Comments"));
    QVERIFY(comments->wordWrap());
    const auto* icon = box.findChild<QLabel*>(QStringLiteral("ProgramIcon"));
    QVERIFY(icon->hasScaledContents());
    QCOMPARE(icon->pixmap().size(), QSize(64, 64));
    QVERIFY(icon->pixmap().toImage().pixelColor(32, 32).alpha() > 0);
    const auto* link = box.findChild<QLabel*>(QStringLiteral("LabelUrl"));
    QVERIFY(link->font().underline());
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    const auto* ok = box.findChild<QPushButton*>(QStringLiteral("OKButton"));
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
  }

  void enterClosesTheModalBoxWithOk() {
    TFormAboutBox box(owner_.get());
    QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
    QCOMPARE(box.exec(), static_cast<int>(QDialog::Accepted));
  }

  void clickingTheLinkOpensItsCaptionAndKeepsTheBoxOpen() {
    TFormAboutBox box(owner_.get());
    QStringList opened;
    box.OpenLink = [&opened](const std::u16string& address) {
      opened << QString::fromStdU16String(address);
      return false;  // as when no browser can be started: nothing is shown
    };
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    auto* link = box.findChild<QLabel*>(QStringLiteral("LabelUrl"));
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(opened, QStringList{QStringLiteral("https://quillora.example.org/")});
    QVERIFY(box.isVisible());
    QTest::mouseClick(box.findChild<QLabel*>(QStringLiteral("Copyright")), Qt::LeftButton);
    QCOMPARE(opened.size(), 1);  // only the link opens anything
  }

  void missingStringsShowThePrefixAlone() {
    TFormAboutBox box(owner_.get(), Path(kFixtures + "/no_copyright.elf"));
    QCOMPARE(LabelText(box, "Copyright"), QStringLiteral("(C) "));
    QCOMPARE(LabelText(box, "Version"), QStringLiteral("バージョン 0.1.0.0"));
  }

  void unreadableResourceMakesNoBox_data() {
    QTest::addColumn<QString>("executable");
    QTest::newRow("no resource") << QStringLiteral(VERSION_HOST);
    QTest::newRow("no translation") << kFixtures + "/no_translation.elf";
    QTest::newRow("no file") << kFixtures + "/absent";
  }
  void unreadableResourceMakesNoBox() {
    QFETCH(QString, executable);
    const int before = AboutBoxes();
    for (int attempt = 0; attempt < 2; ++attempt) {  // the next attempt fails the same way
      try {
        TFormAboutBox box(owner_.get(), Path(executable));
        QFAIL("the box was made");
      } catch (const Exception& e) {
        QCOMPARE(e.Message(), std::u16string(u"バージョン情報を取得できません"));
      }
      QCOMPARE(AboutBoxes(), before);
      QCOMPARE(owner_->findChildren<QWidget*>().size(), 0);
    }
  }

  // Nothing is kept between openings: a changed file shows at the next opening.
  void everyOpeningReadsTheFileAgain() {
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("quillora"));
    QVERIFY(QFile::copy(QApplication::applicationFilePath(), exe));
    {
      TFormAboutBox box(owner_.get(), Path(exe));
      QCOMPARE(LabelText(box, "Copyright"), QStringLiteral("(C) 2026 Quillora Project"));
    }
    QVERIFY(QFile::remove(exe));
    QVERIFY(QFile::copy(kFixtures + "/no_copyright.elf", exe));
    {
      TFormAboutBox box(owner_.get(), Path(exe));
      QCOMPARE(LabelText(box, "Copyright"), QStringLiteral("(C) "));
    }
    QVERIFY(QFile::remove(exe));
    QVERIFY_THROWS_EXCEPTION(Exception, TFormAboutBox(owner_.get(), Path(exe)));
  }

  void readerAnswersByIndex() {
    const TkAppInfo info;
    QCOMPARE(info.Translation(), 0x03A40411u);
    struct Expected {
      int index;
      std::u16string value;
    };
    const Expected expected[] = {
        {TkAppInfo::kComments, kDescription.toStdU16String()},
        {TkAppInfo::kCompanyName, u"Quillora Project"},
        {TkAppInfo::kFileDescription, kDescription.toStdU16String()},
        {TkAppInfo::kFileVersion, u"0.1.0.0"},
        {TkAppInfo::kInternalName, u""},
        {TkAppInfo::kLegalCopyright, u"2026 Quillora Project"},
        {TkAppInfo::kLegalTradeMarks, u""},
        {TkAppInfo::kOriginalFilename, u""},
        {TkAppInfo::kPrivateBuild, u""},
        {TkAppInfo::kProductName, u""},
        {TkAppInfo::kProductVersion, u"1.0.0.0"},
        {-1, u""},
        {TkAppInfo::kKeyCount, u""},
    };
    for (const Expected& e : expected) {
      QCOMPARE(QString::fromStdU16String(info.GetInfo(e.index)),
               QString::fromStdU16String(e.value));
    }
  }

 private:
  std::unique_ptr<QWidget> owner_;
};

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"
