#pragma once
#include "ExactFont.hpp"
#include "KitPicture.hpp"
#include "KnobDrag.hpp"
#include "Lettering.hpp"

#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <functional>

namespace norvo {

// The rotary control: a shaded knob with a pointer and its caption beneath in panel lettering.
// Drag up or down to turn it (150 points sweep the range), double-click to reset it. The value
// lives with the owner: bind it with setBinding(); without a binding the knob keeps its own.
// A knob that cannot be turned now dims its caption.
class Knob : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal captionSpacing = 4;

    Knob(QString label, double defaultValue, qreal size, Lettering lettering, QWidget* parent = nullptr);

    void setBinding(std::function<double()> get, std::function<void(double)> set);
    double value() const;
    // Sets the value from outside (through the binding when there is one), without valueEdited.
    void setValue(double value);
    double defaultValue() const { return defaultValue_; }
    const QString& label() const { return label_; }
    qreal faceSize() const { return size_; }
    const KnobDrag& drag() const { return drag_; }

    // The knob's layout rectangle (face above caption) in widget coordinates, and placement
    // of the widget so that this rectangle covers `layoutRect` in the parent. The widget
    // leaves room around it for the face's shadow.
    QRect layoutRect() const;
    void setLayoutGeometry(const QRect& layoutRect);
    QSize sizeHint() const override;

    // Pure painting, for faces that draw the knob themselves.
    static ExactFont captionFont();
    static QString helpText(const QString& label);
    // The size of face and caption stacked (width: the larger of the two).
    static QSizeF layoutSize(const QString& label, qreal size);
    // The face (body, cap, pointer and shadow) in the square `face`.
    static void paintFace(QPainter& painter, const QRectF& face, double value);
    // Face and caption, centred horizontally in `layout` (its top is the face's top).
    static void paint(QPainter& painter, const QRectF& layout, const QString& label, double value, qreal size,
                      Lettering lettering, bool enabled = true);

signals:
    // The user turned or reset the knob.
    void valueEdited(double value);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;

private:
    void write(double value);
    QRectF faceRect() const;
    QString label_;
    double defaultValue_;
    qreal size_;
    Lettering lettering_;
    double ownValue_;
    std::function<double()> get_;
    std::function<void(double)> set_;
    KnobDrag drag_;
    KitPicture picture_;
    bool dragging_ = false;
    qreal pressY_ = 0;
};

}  // namespace norvo
