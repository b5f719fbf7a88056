#include "app/HelpViewer.h"

#include <chm_lib.h>

#include <QHeaderView>
#include <QRegularExpression>
#include <QSplitter>
#include <QStringDecoder>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <vector>

#include "app/AppIcon.h"
#include "platform/Exception.h"
#include "platform/Shell.h"
#include "platform/Text.h"

namespace quillora {
namespace {

// No page of a help file comes near this; a larger entry is a damaged file.
constexpr LONGUINT64 kMaxEntrySize = 64u << 20;

constexpr char16_t kCannotOpen[] = u"ヘルプファイル %s を開けません。";
constexpr char16_t kDefaultTitle[] = u"ヘルプ";

QString DecodeHtml(const QByteArray& bytes) {
  QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
  if (!decoder.isValid())
    decoder = QStringDecoder(QStringDecoder::Utf8);
  return decoder.decode(bytes);
}

// A name inside the help file, from a contents entry or a link: "page.html",
// "other.chm::/page.html" or "/page.html" all become "/page.html".
QString EntryName(QString local) {
  if (const qsizetype at = local.indexOf(QLatin1String("::")); at >= 0)
    local = local.mid(at + 2);
  local.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (!local.startsWith(QLatin1Char('/')))
    local.prepend(QLatin1Char('/'));
  return local;
}

QUrl PageAddress(const QString& local) {
  QUrl url(QString::fromLatin1(THelpViewer::kScheme) + QLatin1Char(':') + EntryName(local));
  return url;
}

QString Unescape(QString text) {
  static const QRegularExpression numeric(QStringLiteral("&#(x?)([0-9A-Fa-f]+);"));
  QString out;
  qsizetype last = 0;
  for (auto it = numeric.globalMatch(text); it.hasNext();) {
    const auto m = it.next();
    out += text.mid(last, m.capturedStart() - last);
    bool ok = false;
    const char32_t code = m.captured(2).toUInt(&ok, m.captured(1).isEmpty() ? 10 : 16);
    if (ok && code > 0 && code <= 0x10FFFF) {
      out += QString::fromUcs4(&code, 1);
    } else {
      out += m.captured(0);
    }
    last = m.capturedEnd();
  }
  out += text.mid(last);
  out.replace(QLatin1String("&lt;"), QLatin1String("<"));
  out.replace(QLatin1String("&gt;"), QLatin1String(">"));
  out.replace(QLatin1String("&quot;"), QLatin1String("\""));
  out.replace(QLatin1String("&amp;"), QLatin1String("&"));
  return out;
}

}  // namespace

THelpFile::THelpFile(const std::u16string& path) : file_(chm_open(ToUtf8(path).c_str())) {
  if (file_ == nullptr)
    throw Exception(FormatMessage(kCannotOpen, {path}));
  ReadSystem();
}

THelpFile::~THelpFile() {
  chm_close(file_);
}

std::optional<QByteArray> THelpFile::Read(const QString& name) const {
  chmUnitInfo info{};
  const QByteArray path = name.toUtf8();
  if (chm_resolve_object(file_, path.constData(), &info) != CHM_RESOLVE_SUCCESS) {
    return std::nullopt;
  }
  if (info.length > kMaxEntrySize)
    return std::nullopt;
  QByteArray bytes(static_cast<qsizetype>(info.length), '\0');
  const LONGINT64 got =
      chm_retrieve_object(file_, &info, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                          static_cast<LONGINT64>(info.length));
  if (got != static_cast<LONGINT64>(info.length))
    return std::nullopt;
  return bytes;
}

// The #SYSTEM entry: a 32-bit version, then records of a 16-bit code, a 16-bit length and
// that many bytes, a zero-terminated text for the codes read here.
void THelpFile::ReadSystem() {
  const auto system = Read(QStringLiteral("/#SYSTEM"));
  if (!system)
    return;
  const auto byteAt = [&](qsizetype at) { return static_cast<unsigned char>(system->at(at)); };
  qsizetype at = 4;
  while (at + 4 <= system->size()) {
    const int code = byteAt(at) | byteAt(at + 1) << 8;
    const qsizetype length = byteAt(at + 2) | byteAt(at + 3) << 8;
    at += 4;
    if (length > system->size() - at)
      break;
    QByteArray value = system->mid(at, length);
    if (const qsizetype zero = value.indexOf('\0'); zero >= 0)
      value.truncate(zero);
    switch (code) {
      case 0:
        contentsFile_ = QString::fromUtf8(value);
        break;
      case 2:
        defaultTopic_ = QString::fromUtf8(value);
        break;
      case 3:
        title_ = QString::fromUtf8(value);
        break;
      default:
        break;
    }
    at += length;
  }
}

THelpPage::THelpPage(std::shared_ptr<const THelpFile> file, QWidget* parent)
    : QTextBrowser(parent), file_(std::move(file)) {}

QVariant THelpPage::loadResource(int type, const QUrl& name) {
  if (name.scheme() != QLatin1String(THelpViewer::kScheme))
    return {};
  const auto bytes = file_->Read(EntryName(name.path(QUrl::FullyDecoded)));
  if (!bytes)
    return {};
  switch (type) {
    case QTextDocument::HtmlResource:
      return DecodeHtml(*bytes);
    case QTextDocument::StyleSheetResource:
      return QString::fromUtf8(*bytes);
    default:
      return *bytes;
  }
}

THelpViewer::THelpViewer(QWidget* owner, const std::u16string& helpFile)
    : QWidget(owner, Qt::Window),
      helpFile_(helpFile),
      file_(std::make_shared<THelpFile>(helpFile)) {
  setObjectName(QStringLiteral("HelpViewer"));
  setWindowTitle(file_->Title().isEmpty() ? QString::fromUtf16(kDefaultTitle) : file_->Title());
  setWindowIcon(QuilloraIcon());
  resize(780, 540);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  contents_ = new QTreeWidget(splitter);
  contents_->setObjectName(QStringLiteral("HelpContents"));
  contents_->setHeaderHidden(true);
  contents_->setColumnCount(1);
  page_ = new THelpPage(file_, splitter);
  page_->setObjectName(QStringLiteral("HelpPage"));
  page_->setOpenLinks(false);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({230, 550});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter);

  LoadContents();
  connect(contents_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { Open(item->data(0, Qt::UserRole).toUrl()); });
  connect(contents_, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item) { Open(item->data(0, Qt::UserRole).toUrl()); });
  connect(page_, &QTextBrowser::anchorClicked, this, &THelpViewer::FollowLink);

  const QString first = !file_->DefaultTopic().isEmpty() ? file_->DefaultTopic()
                        : contents_->topLevelItemCount() > 0
                            ? contents_->topLevelItem(0)->data(0, Qt::UserRole).toUrl().path()
                            : QString();
  if (!first.isEmpty())
    Open(PageAddress(first));
}

THelpViewer::~THelpViewer() = default;

THelpViewer* THelpViewer::ShowContents(QWidget* owner, const std::u16string& helpFile) {
  THelpViewer* viewer = nullptr;
  if (owner != nullptr) {
    for (auto* child : owner->findChildren<THelpViewer*>(Qt::FindDirectChildrenOnly)) {
      if (child->HelpFile() == helpFile)
        viewer = child;
    }
  }
  if (viewer == nullptr) {
    viewer = new THelpViewer(owner, helpFile);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
  }
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  viewer->contents_->setFocus();
  return viewer;
}

bool THelpViewer::Open(const QUrl& address) {
  const QUrl target = page_->source().resolved(address);
  if (target.scheme() != QLatin1String(kScheme))
    return false;
  if (!file_->Read(EntryName(target.path(QUrl::FullyDecoded))))
    return false;
  page_->setSource(target, QTextDocument::HtmlResource);
  SelectContentsFor(target);
  return true;
}

void THelpViewer::FollowLink(const QUrl& link) {
  const QUrl target = page_->source().resolved(link);
  if (target.scheme() == QLatin1String(kScheme)) {
    Open(target);  // a page the file does not hold leaves the current one in place
  } else {
    OpenWithDesktop(target.toString().toStdU16String());
  }
}

// The contents file is HTML: a nested list whose items each hold an object with a "Name" and
// a "Local" parameter. Each <UL> opens the children of the entry before it.
void THelpViewer::LoadContents() {
  contents_->clear();
  if (file_->ContentsFile().isEmpty())
    return;
  const auto bytes = file_->Read(EntryName(file_->ContentsFile()));
  if (!bytes)
    return;
  const QString text = DecodeHtml(*bytes);

  static const QRegularExpression tagPattern(QStringLiteral("<\\s*(/?)\\s*([A-Za-z]+)([^>]*)>"));
  static const QRegularExpression attributePattern(
      QStringLiteral("([A-Za-z]+)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"));
  const auto attribute = [](const QString& attributes, QLatin1String wanted) {
    for (auto it = attributePattern.globalMatch(attributes); it.hasNext();) {
      const auto m = it.next();
      if (m.captured(1).compare(wanted, Qt::CaseInsensitive) == 0) {
        return Unescape(m.captured(2) + m.captured(3) + m.captured(4));
      }
    }
    return QString();
  };

  std::vector<QTreeWidgetItem*> parents{nullptr};
  QTreeWidgetItem* last = nullptr;
  bool inEntry = false;
  QString name;
  QString local;
  for (auto it = tagPattern.globalMatch(text); it.hasNext();) {
    const auto m = it.next();
    const bool closing = !m.captured(1).isEmpty();
    const QString tag = m.captured(2).toLower();
    if (tag == QLatin1String("ul")) {
      if (!closing) {
        parents.push_back(last);
      } else if (parents.size() > 1) {
        last = parents.back();
        parents.pop_back();
      }
    } else if (tag == QLatin1String("object")) {
      if (!closing) {
        inEntry = attribute(m.captured(3), QLatin1String("type"))
                      .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0;
        name.clear();
        local.clear();
      } else if (inEntry) {
        inEntry = false;
        auto* item = parents.back() != nullptr ? new QTreeWidgetItem(parents.back())
                                               : new QTreeWidgetItem(contents_);
        item->setText(0, name);
        if (!local.isEmpty())
          item->setData(0, Qt::UserRole, PageAddress(local));
        last = item;
      }
    } else if (tag == QLatin1String("param") && inEntry) {
      const QString which = attribute(m.captured(3), QLatin1String("name"));
      const QString value = attribute(m.captured(3), QLatin1String("value"));
      if (which.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0)
        name = value;
      if (which.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0)
        local = value;
    }
  }
  contents_->expandAll();
}

void THelpViewer::SelectContentsFor(const QUrl& address) {
  QUrl page = address;
  page.setFragment(QString());
  for (QTreeWidgetItemIterator it(contents_); *it != nullptr; ++it) {
    QUrl entry = (*it)->data(0, Qt::UserRole).toUrl();
    entry.setFragment(QString());
    if (entry == page) {
      const QSignalBlocker quiet(contents_);
      contents_->setCurrentItem(*it);
      return;
    }
  }
}

}  // namespace quillora
