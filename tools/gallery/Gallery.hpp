#pragma once
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

namespace gallery {

// Writes pictures of one area into build/gallery/<area>/, each at 1x and 2x.
class Gallery {
public:
    Gallery(QString root, QString area);

    // A widget as it paints itself (shown offscreen first, so layouts settle).
    void widget(const QString& name, QWidget& widget);
    // A pure painter at a size in device-independent pixels.
    void paint(const QString& name, QSize size, const std::function<void(QPainter&, QSize)>& draw,
               QColor background = QColor(40, 40, 40));
    int written() const { return written_; }

private:
    void save(const QString& name, double ratio, const QImage& image);
    QDir dir_;
    int written_ = 0;
};

using AreaFunction = void (*)(Gallery&);

// Each *Gallery.cpp file registers its area with one static Registrar.
struct Registrar {
    Registrar(const char* area, AreaFunction function);
};

struct Area {
    const char* name;
    AreaFunction function;
};
std::vector<Area>& areas();

}  // namespace gallery
