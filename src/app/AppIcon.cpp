#include "app/AppIcon.h"

#include <QString>

namespace quillora {

QIcon QuilloraIcon() {
  QIcon icon;
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/quillora/icons/quillora-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

QPixmap QuilloraIcon64() {
  return QPixmap(QStringLiteral(":/quillora/icons/quillora-64.png"));
}

}  // namespace quillora
