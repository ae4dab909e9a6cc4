#include "Gallery.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>

namespace gallery {

std::vector<Area>& areas() {
    static std::vector<Area> list;
    return list;
}

Registrar::Registrar(const char* area, AreaFunction function) { areas().push_back({area, function}); }

Gallery::Gallery(QString root, QString area) : dir_(root + "/" + area) { dir_.mkpath("."); }

void Gallery::save(const QString& name, double ratio, const QImage& image) {
    const QString file = dir_.filePath(QString("%1@%2x.png").arg(name).arg(int(ratio)));
    if (!image.save(file)) std::fprintf(stderr, "could not write %s\n", qPrintable(file));
    else ++written_;
}

void Gallery::widget(const QString& name, QWidget& widget) {
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.show();
    QCoreApplication::processEvents();
    for (double ratio : {1.0, 2.0}) {
        QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        widget.render(&image);
        save(name, ratio, image);
    }
}

void Gallery::paint(const QString& name, QSize size, const std::function<void(QPainter&, QSize)>& draw,
                    QColor background) {
    for (double ratio : {1.0, 2.0}) {
        QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(background);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, size);
        painter.end();
        save(name, ratio, image);
    }
}

}  // namespace gallery

// Usage: norvo-gallery OUTPUT_DIR [AREA...]
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/gallery");
    QStringList only;
    for (int i = 2; i < argc; ++i) only << QString::fromLocal8Bit(argv[i]);
    int total = 0;
    for (const auto& area : gallery::areas()) {
        if (!only.isEmpty() && !only.contains(area.name)) continue;
        gallery::Gallery g(root, area.name);
        area.function(g);
        std::printf("%-12s %d pictures\n", area.name, g.written());
        total += g.written();
    }
    std::printf("%d pictures in %s\n", total, qPrintable(root));
    return total > 0 ? 0 : 1;
}
