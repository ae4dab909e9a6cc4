#pragma once
#include <QString>

namespace norvo {

// A tooltip that shows `text` as written: Qt would take a directory's "<b>Radio</b>" for
// markup, so the text is escaped inside a block that keeps its spaces.
inline QString plainToolTip(const QString& text) {
    if (text.isEmpty()) return {};
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

}  // namespace norvo
