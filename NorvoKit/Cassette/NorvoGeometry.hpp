#pragma once
#include <array>

namespace norvo {

// The physical cassette in millimetres: origin at the top-left corner of the shell,
// x to the right, y downwards. The drawings scale these to points.
struct NorvoGeometry {
    struct Point {
        double x = 0;
        double y = 0;
        bool operator==(const Point&) const = default;
    };
    struct Rect {
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
        bool operator==(const Rect&) const = default;
    };
    struct Hole {
        Point center;
        double diameter = 0;
        bool operator==(const Hole&) const = default;
    };

    struct Shell {
        static constexpr double width = 100.4;
        static constexpr double height = 63.8;
        static constexpr double cornerRadius = 3.5;
        // The tape window between the hubs.
        static constexpr Rect window{30.2, 21.5, 40, 12};
        // The opening for the head in the middle of the ramp.
        static constexpr Rect headOpening{45.2, 55.8, 10, 4.5};
        // The ramp along the lower edge, in drawing order.
        static constexpr std::array<Point, 4> rampOutline{{{17, 63.8}, {23.6, 49.5}, {76.8, 49.5}, {83.4, 63.8}}};
        static constexpr std::array<Hole, 4> rampHoles{
            {{{30.1, 57.4}, 3.6}, {{39.2, 57.4}, 2.4}, {{61.2, 57.4}, 2.4}, {{70.3, 57.4}, 3.6}}};
        static constexpr std::array<Point, 5> screws{{{3, 3}, {97.4, 3}, {3, 60.8}, {97.4, 60.8}, {50.2, 52.6}}};
        static constexpr double screwDiameter = 2.4;
    };

    // The label; its boxes are in label space, relative to the label's top-left corner.
    struct Label {
        static constexpr double width = 89;
        static constexpr double height = 42;
        static constexpr double cornerRadius = 2;
        // The label's top-left corner on the shell.
        static constexpr Point origin{5.7, 3.5};
        static constexpr Rect titleBox{11, 3.5, 75.5, 7};
        static constexpr Rect subtitleBox{11, 10.5, 75.5, 4.5};
        static constexpr Rect sideLetterBox{2.5, 3, 6.5, 8};
        static constexpr Rect typeBadge{70, 35, 16.5, 5};
        static constexpr Rect bottomBand{0, 33, 89, 9};
        // Heights of the lines of a ruled label.
        static constexpr std::array<double, 3> ruledLines{10.5, 15.5, 31.5};
    };

    struct Mechanism {
        static constexpr Point leftHub{29, 27.5};
        static constexpr Point rightHub{71.4, 27.5};
        // The circular openings in the shell around each hub.
        static constexpr double hubOpeningDiameter = 17;
    };

    // The unfolded J-card: front cover, spine and back flap side by side, all as high.
    struct JCard {
        static constexpr double height = 101.6;
        static constexpr double frontWidth = 63.5;
        static constexpr double spineWidth = 12.7;
        static constexpr double flapWidth = 25.4;
    };
};

}  // namespace norvo
