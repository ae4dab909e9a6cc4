#pragma once
#include "HoldKeyGesture.hpp"
#include "KeyCap.hpp"
#include "KitPicture.hpp"

#include <QWidget>

class QVariantAnimation;

namespace norvo {

// A dark key 38 high that reports when it goes down and when it is let go (the deck's winding
// keys). Not a button: no click, no keyboard action. Drawn down while held or latched; a
// latched key still presses and releases. Every press gets exactly one release (see
// HoldKeyGesture), also when the window is deactivated or the key hidden, disabled or
// destroyed while held.
class HoldKey : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal height = 38;

    HoldKey(KeyLabel label, qreal width, QWidget* parent = nullptr);
    ~HoldKey() override;

    void setOnPress(std::function<void()> f) { gesture_.setOnPress(std::move(f)); }
    void setOnRelease(std::function<void()> f) { gesture_.setOnRelease(std::move(f)); }
    void setLatched(bool latched);
    bool latched() const { return latched_; }
    bool held() const { return gesture_.held(); }
    void setLabel(KeyLabel label);

    // The press depth being drawn, 0 (up) to 1 (down); moves over 0.06 s after a change.
    qreal depth() const;
    QRect keyRect() const;
    void setKeyGeometry(const QRect& keyRect);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void hideEvent(QHideEvent*) override;
    void changeEvent(QEvent*) override;
    bool event(QEvent*) override;

private:
    void cancelHold();
    void followDown();
    KeyLabel label_;
    int labelGeneration_ = 0;
    KitPicture picture_;
    qreal width_;
    bool latched_ = false;
    HoldKeyGesture gesture_;
    bool tracking_ = false;  // a pointer sequence began with a press on the key
    qreal depth_ = 0;
    bool lastDown_ = false;
    QVariantAnimation* animation_;
};

}  // namespace norvo
