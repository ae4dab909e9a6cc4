#pragma once
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

namespace gallery {

// A stand-in for artwork: a diagonal gradient with a white caption in the middle.
inline QImage gradientPicture(QSize size, QColor from, QColor to, const QString& text, const QFont& font) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    p.fillRect(image.rect(), g);
    p.setPen(Qt::white);
    p.setFont(font);
    p.drawText(image.rect(), Qt::AlignCenter, text);
    return image;
}

}  // namespace gallery
