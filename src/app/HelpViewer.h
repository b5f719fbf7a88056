#pragma once

#include <QTextBrowser>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

class QTreeWidget;
class QTreeWidgetItem;
struct chmFile;

namespace quillora {

// A compiled help file (.CHM) opened for reading. Throws Exception when it cannot be opened.
class THelpFile {
 public:
  explicit THelpFile(const std::u16string& path);
  ~THelpFile();
  THelpFile(const THelpFile&) = delete;
  THelpFile& operator=(const THelpFile&) = delete;

  // The bytes of the file stored at `name` ("/index.html"), if there is one.
  std::optional<QByteArray> Read(const QString& name) const;

  // What the help project named: the contents file, the first page and the title. Each is
  // empty when the file does not say.
  const QString& ContentsFile() const { return contentsFile_; }
  const QString& DefaultTopic() const { return defaultTopic_; }
  const QString& Title() const { return title_; }

 private:
  void ReadSystem();

  chmFile* file_ = nullptr;
  QString contentsFile_;
  QString defaultTopic_;
  QString title_;
};

// The page pane: reads every page, style sheet and picture from the help file.
class THelpPage : public QTextBrowser {
  Q_OBJECT

 public:
  THelpPage(std::shared_ptr<const THelpFile> file, QWidget* parent);
  QVariant loadResource(int type, const QUrl& name) override;

 private:
  std::shared_ptr<const THelpFile> file_;
};

// Quillora's help window: the help file's table of contents beside the page it points to.
// Links between pages are followed inside the window; links to other places open with the
// desktop's handler.
class THelpViewer : public QWidget {
  Q_OBJECT

 public:
  // Throws Exception when the help file cannot be opened.
  THelpViewer(QWidget* owner, const std::u16string& helpFile);
  ~THelpViewer() override;

  // Shows the table of contents of `helpFile` in the owner's help window, making the window
  // when the owner has none for that file yet.
  static THelpViewer* ShowContents(QWidget* owner, const std::u16string& helpFile);

  // The scheme of the pages' addresses: chm:/page.html names /page.html inside the file.
  static constexpr const char* kScheme = "chm";

  // Shows the page at `address`, relative to the page shown now; false when the help file
  // has no such page.
  bool Open(const QUrl& address);

  const std::u16string& HelpFile() const { return helpFile_; }
  QTreeWidget* Contents() const { return contents_; }
  THelpPage* Page() const { return page_; }

 private:
  void LoadContents();
  void FollowLink(const QUrl& link);
  void SelectContentsFor(const QUrl& address);

  std::u16string helpFile_;
  std::shared_ptr<const THelpFile> file_;
  QTreeWidget* contents_ = nullptr;
  THelpPage* page_ = nullptr;
};

}  // namespace quillora
