#pragma once
#include "KeyLabel.hpp"

#include <QAbstractButton>
#include <QMargins>
#include <QRect>
#include <QRectF>

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

    // The key's rectangle in widget coordinates.
    QRect keyRect() const;
    // Moves and sizes the widget so that its key covers `keyRect` (parent coordinates).
    void setKeyGeometry(const QRect& keyRect);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    // The key's size in design points.
    virtual QSizeF keySize() const = 0;
    bool hitButton(const QPoint& pos) const override;
    void setLabelQuietly(KeyLabel label) {
        label_ = std::move(label);
        ++labelGeneration_;
    }

private:
    KeyLabel label_;
    int labelGeneration_ = 0;
};

}  // namespace norvo
