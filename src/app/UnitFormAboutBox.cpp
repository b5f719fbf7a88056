#include "app/UnitFormAboutBox.h"

#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "app/AppIcon.h"
#include "app/Tkappinfo.h"
#include "platform/Shell.h"

namespace quillora {
namespace {

constexpr char16_t kCaption[] = u"バージョン情報";
constexpr char16_t kVersionPrefix[] = u"バージョン ";
constexpr char16_t kCopyrightPrefix[] = u"(C) ";
constexpr char16_t kProjectPage[] = u"https://quillora.example.org/";

QString Q(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->move(left, top);
  return label;
}

}  // namespace

TFormAboutBox::TFormAboutBox(QWidget* owner) : QDialog(owner), OpenLink(&OpenWithDesktop) {
  BuildControls();
  ShowInfo(TkAppInfo());
}

TFormAboutBox::TFormAboutBox(QWidget* owner, const std::u16string& executable)
    : QDialog(owner), OpenLink(&OpenWithDesktop) {
  BuildControls();
  ShowInfo(TkAppInfo(executable));
}

void TFormAboutBox::BuildControls() {
  setObjectName(QStringLiteral("FormAboutBox"));
  setWindowTitle(QString::fromUtf16(kCaption));
  // A dialog border: a title and a close button, no resizing, no minimise or maximise.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(298, 213);
  // The window colour of a dialog is the button face colour of the desktop's palette.
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Noto Sans CJK JP")});
  font.setPointSize(8);
  setFont(font);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(8, 8, 281, 161);
  // A lowered outer bevel around a raised inner one: the etched frame.
  Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

  ProgramIcon = new QLabel(Panel1);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setGeometry(8, 8, 64, 64);
  ProgramIcon->setScaledContents(true);
  ProgramIcon->setPixmap(QuilloraIcon64());

  ProductName = MakeLabel(Panel1, "ProductName", 88, 16);
  Version = MakeLabel(Panel1, "Version", 88, 40);
  Copyright = MakeLabel(Panel1, "Copyright", 8, 80);

  Comments = new QLabel(Panel1);
  Comments->setObjectName(QStringLiteral("Comments"));
  Comments->setGeometry(8, 118, 265, 35);
  Comments->setWordWrap(true);
  Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(111, 180, 75, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  LabelUrl = MakeLabel(Panel1, "LabelUrl", 8, 99);
  LabelUrl->resize(256, 13);
  LabelUrl->setText(QString::fromUtf16(kProjectPage));
  QPalette blue = LabelUrl->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  LabelUrl->setPalette(blue);
  QFont underlined = LabelUrl->font();
  underlined.setUnderline(true);
  LabelUrl->setFont(underlined);
  LabelUrl->setCursor(Qt::PointingHandCursor);
  // 13 pixels is the line of the small bitmap font the layout was drawn for; the outline
  // fonts here need a little more, or the underline is cut off. The description below
  // starts at 118, so up to 19 pixels fit.
  LabelUrl->resize(256, std::max(13, LabelUrl->sizeHint().height()));
  LabelUrl->installEventFilter(this);

  // Centred on the screen, as the dialog opens.
  if (QScreen* screen =
          parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

void TFormAboutBox::ShowInfo(const TkAppInfo& info) {
  ProductName->setText(QGuiApplication::applicationDisplayName());
  ProductName->adjustSize();
  Version->setText(QString::fromUtf16(kVersionPrefix) + Q(info.GetInfo(TkAppInfo::kFileVersion)));
  Version->adjustSize();
  Copyright->setText(QString::fromUtf16(kCopyrightPrefix) +
                     Q(info.GetInfo(TkAppInfo::kLegalCopyright)));
  Copyright->adjustSize();
  Comments->setText(Q(info.GetInfo(TkAppInfo::kComments)));
}

bool TFormAboutBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LabelUrl && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    LabelUrlClick(LabelUrl);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TFormAboutBox::LabelUrlClick(QObject* sender) {
  const auto* label = qobject_cast<QLabel*>(sender);
  if (label == nullptr || !OpenLink)
    return;
  static_cast<void>(OpenLink(label->text().toStdU16String()));
}

}  // namespace quillora
