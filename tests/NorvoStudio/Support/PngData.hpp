#pragma once
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <string_view>

#include "Cassette/FileData.hpp"

namespace norvo::test {

// The image as the bytes of a PNG file.
inline FileData pngData(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return FileData(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

// A PNG of `size` in one colour.
inline FileData pngData(QSize size, QColor colour, QImage::Format format = QImage::Format_RGB32) {
    QImage image(size, format);
    image.fill(colour);
    return pngData(image);
}

}  // namespace norvo::test
