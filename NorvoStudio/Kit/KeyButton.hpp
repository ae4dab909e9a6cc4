#pragma once
#include "KeyLabel.hpp"

#include <QAbstractButton>
#include <QMargins>
#include <QRect>
#include <QRectF>
#include <optional>

class QVariantAnimation;

namespace norvo {

// Shared base of the kit's push keys as child widgets. The widget is larger than the key by
// KeyCap::widgetMargins() so the shadow and the sink are not clipped; only the key's own
// rectangle takes clicks. Place it with setKeyGeometry(key rectangle in the parent).
class KeyButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit KeyButton(KeyLabel label, QWidget* parent = nullptr);

    const KeyLabel& label() const { return label_; }
    // Counts label changes: a drawn label can hold a function, so this stands in for comparing.
    int labelGeneration() const { return labelGeneration_; }
    void setLabel(KeyLabel label);

    // The key's rectangle in widget coordinates, exactly, and widened to whole pixels.
    QRectF keyRectF() const;
    QRect keyRect() const { return keyRectF().toAlignedRect(); }
    // Moves and sizes the widget so that its key covers `keyRect` (parent coordinates). A
    // rectangle on fractional points keeps them: the widget covers the pixels it touches and
    // the key is drawn where it was put, so a row of keys can share a width evenly.
    void setKeyGeometry(const QRectF& keyRect);
    void setKeyGeometry(const QRect& keyRect) { setKeyGeometry(QRectF(keyRect)); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    // The key's size in design points.
    virtual QSizeF keySize() const = 0;
    // The size setKeyGeometry() gave the key, while the widget keeps the size it gave it.
    std::optional<QSizeF> placedSize() const;
    bool hitButton(const QPoint& pos) const override;
    void setLabelQuietly(KeyLabel label) {
        label_ = std::move(label);
        ++labelGeneration_;
    }

private:
    KeyLabel label_;
    int labelGeneration_ = 0;
    QRectF placed_;    // as setKeyGeometry() left it, in widget coordinates
    QSize placedFor_;  // the widget's size it went with
};

}  // namespace norvo
