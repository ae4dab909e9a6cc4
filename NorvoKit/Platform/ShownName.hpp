#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace norvo {

// How a name that comes from outside (a file name, a path, a station, a stream title) is
// put before the user. Such a name may hold bytes that are not UTF-8, controls that break
// a line, or characters that steer bidirectional text and would reorder what stands
// around the name.
struct ShownName {
    // For a sentence: ill-formed UTF-8, C0 and C1 controls, DEL, the bidirectional marks,
    // embeddings, overrides and isolates, and the line and paragraph separators as visible
    // escapes (\x0A, \xE9, \u202E); at most `limit` characters, an ellipsis marking a cut.
    static std::string inSentence(std::string_view bytes, std::size_t limit = 200);

    // For drawing on its own: each of those characters (and each ill-formed byte) as
    // U+FFFD, so the name stays on one line and keeps its own order.
    static std::string drawable(std::string_view bytes);
};

}  // namespace norvo
