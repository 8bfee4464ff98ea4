#pragma once

#include <QIcon>
#include <QImage>

namespace korvane {

// The window's icon: two linked chain rings on a blue field, 32 x 32, 24-bit colour. Other
// sizes (the desktop's icon theme) are the same drawing at that scale.
QImage windowIconImage(int size = 32);
QIcon makeWindowIcon();

} // namespace korvane
