#pragma once
#include <string_view>

#include <QString>

namespace norvo {

// Names from outside (file names, cassette and track titles, station names, stream
// titles, profile names) as the studio draws them and puts them in titles and menus.
// Controls, line separators and the characters that steer bidirectional text become
// U+FFFD (ShownName::drawable), so a name stays on one line and cannot reorder what is
// drawn beside it; bytes that are not UTF-8 show as U+FFFD too.
struct ShownText {
    // What isolated() wraps a name in.
    static constexpr QChar firstStrongIsolate{0x2068};
    static constexpr QChar popDirectionalIsolate{0x2069};
    static constexpr QChar leftToRightMark{0x200E};

    // A name drawn among other text (a row, a menu entry, a face's line): also wrapped
    // in FIRST STRONG ISOLATE … POP DIRECTIONAL ISOLATE, so that a name in a
    // right-to-left script keeps its own order without turning its neighbours round.
    static QString isolated(std::string_view name);
    // A name that stands alone (a label's line).
    static QString plain(std::string_view name);
    // A name in a line that is edited or handed to the desktop (a window title, a part of
    // a path): isolated only when it holds right-to-left text, which would otherwise take
    // what follows it along, so that an everyday name carries no invisible characters.
    static QString isolatedWhenRightToLeft(std::string_view name);
    // Whether a text holds a right-to-left character (Hebrew, Arabic and the like).
    static bool holdsRightToLeft(const QString& text);
    // A text written in lines (a dedication): each line cleaned, the line feeds kept.
    static QString lines(std::string_view text);
    // A name inside a sentence: escaped as the engine escapes quoted paths
    // (ShownName::inSentence).
    static QString inSentence(std::string_view name);
};

}  // namespace norvo
