#pragma once
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <algorithm>
#include <array>

#include "Tuner/TunerDisplayLayout.hpp"

namespace norvo {

// The RO-01 face in points: the nameplate with its lamps, the front row (display and station
// guide) and the control row (power, eight presets, memory, muting, tuning and volume).
// Width 720 (the rack's deck column); the front row takes any extra height.
struct TunerFaceLayout {
    static constexpr qreal designWidth = 720;
    static constexpr qreal padding = 18;
    static constexpr qreal rowSpacing = 12;
    static constexpr qreal groupSpacing = 4;  // between a group's lamp, key and caption
    static constexpr qreal controlSpacing = 8;
    static constexpr qreal presetSpacing = 4;
    static constexpr qreal frontSpacing = 14;  // display to guide
    static constexpr qreal smallLamp = 5;      // over the keys
    static constexpr qreal nameplateLamp = 8;  // TUNED, STEREO
    static constexpr qreal keyHeight = 34;
    static constexpr qreal powerWidth = 58;
    static constexpr qreal modeWidth = 54;  // MEMORY, MUTING
    static constexpr qreal captionOverhang = 10;
    static constexpr std::size_t presetCount = 8;

    // What the layout takes from the lettering and from the parts' own sizes.
    struct Measures {
        qreal brandHeight = 0;  // the nameplate's line
        qreal brandAscent = 0;
        qreal brandWidth = 0;
        qreal tunedCaptionWidth = 0;
        qreal stereoCaptionWidth = 0;
        qreal captionHeight = 0;  // under a group's key
        qreal displayHeight = 0;
        QSizeF preset, tuning, volume;
    };

    QRectF face, nameplate, front, display, guide, controls;
    qreal baseline = 0;  // of the nameplate
    QPointF modelLine;   // where the model's line starts, on the baseline
    QPointF tunedLamp, stereoLamp;
    QPointF tunedCaption, stereoCaption;
    // A key group: its lamp, its key and its caption, stacked.
    QRectF powerGroup, memoryGroup, mutingGroup;
    std::array<QRectF, presetCount> presets;
    QRectF tuning, volume;
    qreal captionHeight = 0;

    static qreal groupHeight(const Measures& m) {
        return smallLamp + groupSpacing + keyHeight + groupSpacing + m.captionHeight;
    }
    static qreal controlsHeight(const Measures& m) {
        return std::max({groupHeight(m), m.preset.height(), m.tuning.height(), m.volume.height()});
    }
    // The face at its natural height.
    static QSizeF size(const Measures& m) {
        return {designWidth,
                padding + m.brandHeight + rowSpacing + m.displayHeight + rowSpacing + controlsHeight(m) + padding};
    }

    TunerFaceLayout(QSizeF size, const Measures& m) : captionHeight(m.captionHeight) {
        face = QRectF(0, 0, size.width(), size.height());
        const QRectF inner = face.adjusted(padding, padding, -padding, -padding);
        const qreal controlsHigh = controlsHeight(m);
        nameplate = QRectF(inner.left(), inner.top(), inner.width(), m.brandHeight);
        controls = QRectF(inner.left(), inner.bottom() - controlsHigh, inner.width(), controlsHigh);
        front = QRectF(inner.left(), nameplate.bottom() + rowSpacing, inner.width(),
                       controls.top() - rowSpacing - nameplate.bottom() - rowSpacing);
        display = QRectF(front.left(), front.top(), TunerDisplayLayout::designWidth, m.displayHeight);
        guide = QRectF(display.right() + frontSpacing, front.top(), front.right() - display.right() - frontSpacing,
                       front.height());

        // Nameplate: brand, model, then TUNED and STEREO at the right, on one baseline.
        baseline = nameplate.top() + m.brandAscent;
        modelLine = QPointF(nameplate.left() + m.brandWidth + 8, baseline);
        const qreal stereoX = nameplate.right() - (nameplateLamp + 6 + m.stereoCaptionWidth);
        const qreal tunedX = stereoX - 12 - (nameplateLamp + 6 + m.tunedCaptionWidth);
        const qreal lampY = baseline - nameplateLamp / 2 - 3;
        tunedLamp = QPointF(tunedX + 4, lampY);
        tunedCaption = QPointF(tunedX + 14, baseline);
        stereoLamp = QPointF(stereoX + 4, lampY);
        stereoCaption = QPointF(stereoX + 14, baseline);

        // Control row: from the left power, presets, memory and muting; the knobs at the right.
        const qreal centre = controls.center().y();
        const qreal groupHigh = groupHeight(m);
        auto group = [&](qreal x, qreal width) { return QRectF(x, centre - groupHigh / 2, width, groupHigh); };
        qreal x = controls.left();
        powerGroup = group(x, powerWidth);
        x = powerGroup.right() + controlSpacing;
        for (QRectF& preset : presets) {
            preset = QRectF(x, centre - m.preset.height() / 2, m.preset.width(), m.preset.height());
            x += m.preset.width() + presetSpacing;
        }
        x += controlSpacing - presetSpacing;
        memoryGroup = group(x, modeWidth);
        x = memoryGroup.right() + controlSpacing;
        mutingGroup = group(x, modeWidth);
        volume = QRectF(controls.right() - m.volume.width(), centre - m.volume.height() / 2, m.volume.width(),
                        m.volume.height());
        tuning = QRectF(volume.left() - controlSpacing - m.tuning.width(), centre - m.tuning.height() / 2,
                        m.tuning.width(), m.tuning.height());
    }

    // A group's key, under its lamp.
    static QRectF keyIn(const QRectF& group, qreal width) {
        return QRectF(group.center().x() - width / 2, group.top() + smallLamp + groupSpacing, width, keyHeight);
    }
    static QPointF lampIn(const QRectF& group) { return {group.center().x(), group.top() + smallLamp / 2}; }
    // A group's caption, under its key; it may reach past the group's sides.
    QRectF captionIn(const QRectF& group) const {
        return QRectF(group.left() - captionOverhang, group.bottom() - captionHeight,
                      group.width() + 2 * captionOverhang, captionHeight);
    }
};

}  // namespace norvo
