#pragma once

#include <QIcon>
#include <QPixmap>

namespace quillora {

// Quillora's icon in every size drawn for it, for the windows.
QIcon QuilloraIcon();

// The icon drawn at 64 x 64, for the About box.
QPixmap QuilloraIcon64();

}  // namespace quillora
