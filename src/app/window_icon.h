#pragma once

#include <QIcon>
#include <QImage>

namespace korvane {

// The window's icon: two linked chain rings on a blue field, 32 x 32, 24-bit colour.
QImage windowIconImage();
QIcon makeWindowIcon();

} // namespace korvane
