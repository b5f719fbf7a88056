#include <QApplication>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>
#include <memory>

#include "app/HelpViewer.h"
#include "platform/Exception.h"

using quillora::Exception;
using quillora::THelpViewer;

namespace {

// The help file the build compiled from help/.
const std::u16string kHelpFile = QStringLiteral(QUILLORA_HELP_FILE).toStdU16String();

QStringList Titles(const QTreeWidgetItem* parent) {
  QStringList titles;
  for (int i = 0; i < parent->childCount(); ++i)
    titles << parent->child(i)->text(0);
  return titles;
}

// Where on the page's viewport the link to `href` is drawn, found in the laid-out document.
QPoint LinkPosition(const THelpViewer& viewer, const QString& href) {
  QTextDocument* document = viewer.Page()->document();
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (fragment.charFormat().anchorHref() != href)
        continue;
      QTextCursor cursor(document);
      cursor.setPosition(fragment.position() + 1);
      return viewer.Page()->cursorRect(cursor).center();
    }
  }
  return QPoint(-1, -1);
}

}  // namespace

class HelpViewerTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { owner_ = std::make_unique<QWidget>(); }
  void cleanup() { owner_.reset(); }

  void listsTheContentsAndShowsTheFirstPage() {
    THelpViewer viewer(owner_.get(), kHelpFile);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("Quillora ヘルプ"));
    QTreeWidget* tree = viewer.Contents();
    QCOMPARE(tree->topLevelItemCount(), 1);
    const QTreeWidgetItem* top = tree->topLevelItem(0);
    QCOMPARE(top->text(0), QStringLiteral("Quillora ヘルプ"));
    QCOMPARE(
        Titles(top),
        (QStringList{QStringLiteral("ファイルを変換する"), QStringLiteral("保存するファイルの名前"),
                     QStringLiteral("文字コードと自動認識"), QStringLiteral("表示されるメッセージ"),
                     QStringLiteral("上書きしないしくみ")}));
    QCOMPARE(viewer.Page()->source(), QUrl(QStringLiteral("chm:/index.html")));
    QCOMPARE(viewer.Page()->documentTitle(), QStringLiteral("Quillora ヘルプ"));
    QCOMPARE(tree->currentItem(), top);
  }

  void clickingAnEntryOpensItsPage() {
    THelpViewer viewer(owner_.get(), kHelpFile);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QTreeWidget* tree = viewer.Contents();
    QTreeWidgetItem* naming = tree->topLevelItem(0)->child(1);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(naming).center());
    QCOMPARE(viewer.Page()->source(), QUrl(QStringLiteral("chm:/naming.html")));
    QCOMPARE(viewer.Page()->documentTitle(), QStringLiteral("保存するファイルの名前"));
    QVERIFY(viewer.Page()->toPlainText().contains(QStringLiteral("report(2).txt")));
  }

  void linksAreFollowedInsideTheWindow() {
    THelpViewer viewer(owner_.get(), kHelpFile);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    const QPoint link = LinkPosition(viewer, QStringLiteral("charset.html"));
    QVERIFY(link.x() >= 0);
    QTest::mouseClick(viewer.Page()->viewport(), Qt::LeftButton, {}, link);
    QCOMPARE(viewer.Page()->source(), QUrl(QStringLiteral("chm:/charset.html")));
    QCOMPARE(viewer.Page()->documentTitle(), QStringLiteral("文字コードと自動認識"));
    QCOMPARE(viewer.Contents()->currentItem()->text(0), QStringLiteral("文字コードと自動認識"));

    // Back to the contents through the page's own link.
    QTest::mouseClick(viewer.Page()->viewport(), Qt::LeftButton, {},
                      LinkPosition(viewer, QStringLiteral("index.html")));
    QCOMPARE(viewer.Page()->source(), QUrl(QStringLiteral("chm:/index.html")));
  }

  void aPageTheFileLacksLeavesTheCurrentOne() {
    THelpViewer viewer(owner_.get(), kHelpFile);
    QVERIFY(viewer.Open(QUrl(QStringLiteral("drop.html"))));
    QVERIFY(!viewer.Open(QUrl(QStringLiteral("missing.html"))));
    QVERIFY(!viewer.Open(QUrl(QStringLiteral("file:///etc/passwd"))));
    QCOMPARE(viewer.Page()->source(), QUrl(QStringLiteral("chm:/drop.html")));
  }

  void theStyleSheetComesFromTheFile() {
    THelpViewer viewer(owner_.get(), kHelpFile);
    // style.css colours the headings; without it they would be black.
    const QTextBlock heading = viewer.Page()->document()->begin();
    QCOMPARE(heading.text(), QStringLiteral("Quillora ヘルプ"));
    QCOMPARE(heading.begin().fragment().charFormat().foreground().color(),
             QColor(QStringLiteral("#1b4f9c")));
  }

  void showingAgainReusesTheWindow() {
    THelpViewer* first = THelpViewer::ShowContents(owner_.get(), kHelpFile);
    QVERIFY(first->isVisible());
    QCOMPARE(THelpViewer::ShowContents(owner_.get(), kHelpFile), first);
    QCOMPARE(owner_->findChildren<THelpViewer*>().size(), 1);
  }

  void aFileThatIsNoHelpFileIsRefused() {
    const std::u16string notHelp = QApplication::applicationFilePath().toStdU16String();
    QVERIFY_THROWS_EXCEPTION(Exception, THelpViewer(owner_.get(), notHelp));
    QVERIFY_THROWS_EXCEPTION(Exception, THelpViewer(owner_.get(), u"/nonexistent/q.CHM"));
    QCOMPARE(owner_->findChildren<THelpViewer*>().size(), 0);
  }

 private:
  std::unique_ptr<QWidget> owner_;
};

QTEST_MAIN(HelpViewerTest)
#include "help_viewer_test.moc"
