#include "window_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace korvane {

QImage windowIconImage(int size)
{
    QImage image(size, size, QImage::Format_RGB888);
    image.fill(QColor(0x1f, 0x4e, 0xa8));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0); // drawn on a 32 x 32 grid

    // Two rounded rings, one over the other: a link.
    QPen white(QColor(0xff, 0xff, 0xff), 3.2);
    QPen gold(QColor(0xff, 0xc8, 0x2e), 3.2);
    painter.setBrush(Qt::NoBrush);
    painter.translate(16, 16);
    painter.rotate(-45);
    painter.setPen(white);
    painter.drawRoundedRect(QRectF(-13, -5, 16, 10), 5, 5);
    painter.setPen(gold);
    painter.drawRoundedRect(QRectF(-3, -5, 16, 10), 5, 5);
    painter.end();
    return image;
}

QIcon makeWindowIcon()
{
    return QIcon(QPixmap::fromImage(windowIconImage()));
}

} // namespace korvane
