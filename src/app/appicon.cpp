#include "app/appicon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

// Drawn on a 32 by 32 grid and scaled to the size asked for.
QImage PaintQuillbayIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    QPainterPath tile;
    tile.addRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    QLinearGradient sky(0, 1, 0, 31);
    sky.setColorAt(0, QColor(0x2b, 0x7f, 0xc4));
    sky.setColorAt(1, QColor(0x0e, 0x3b, 0x66));
    painter.setPen(Qt::NoPen);
    painter.fillPath(tile, sky);

    // The bay: a wave along the bottom of the tile.
    QPainterPath wave;
    wave.moveTo(0, 23);
    wave.cubicTo(7, 19, 11, 27, 17, 23);
    wave.cubicTo(22, 20, 26, 25, 32, 22);
    wave.lineTo(32, 32);
    wave.lineTo(0, 32);
    wave.closeSubpath();
    painter.fillPath(wave.intersected(tile), QColor(0x6c, 0xc4, 0xf0));

    // The quill: a feather from the upper right down to its nib at the lower left.
    QPainterPath feather;
    feather.moveTo(9, 25);
    feather.cubicTo(11, 15, 17, 7, 27, 4);
    feather.cubicTo(25, 12, 19, 20, 9, 25);
    painter.setBrush(Qt::white);
    painter.drawPath(feather);
    QPen spine(QColor(0x0e, 0x3b, 0x66), 1.2, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(spine);
    painter.drawLine(QPointF(7, 28), QPointF(22, 10));
    painter.end();
    return image;
}

QIcon QuillbayIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(PaintQuillbayIcon(size)));
    return icon;
}
