#include "ScaledText.hpp"

#include <QTextLayout>
#include <QTextOption>
#include <algorithm>

namespace norvo {

namespace {

QFont atReferenceSize(QFont font, int pixels) {
    font.setPixelSize(pixels);
    // Unhinted outlines keep the metrics proportional when scaled down.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

}  // namespace

ScaledText::ScaledText(QFont font, double size, LineBox box)
    : font_(atReferenceSize(std::move(font), referencePixels)),
      scale_(size / referencePixels),
      box_(box),
      metrics_(font_) {}

double ScaledText::width(const QString& text) const { return metrics_.horizontalAdvance(singleLine(text)) * scale_; }
// Some installed fonts carry nonsense vertical metrics (a descent of thirty ems); a line
// never reaches further than an em above or half an em below its baseline here.
double ScaledText::ascent() const {
    if (box_ == LineBox::evenRule) return ruleAscent * referencePixels * scale_;
    return std::min(metrics_.ascent(), 1.25 * referencePixels) * scale_;
}
double ScaledText::descent() const {
    if (box_ == LineBox::evenRule) return ruleDescent * referencePixels * scale_;
    return std::min(metrics_.descent(), 0.5 * referencePixels) * scale_;
}
double ScaledText::lineSpacing() const {
    const double leading = box_ == LineBox::evenRule ? 0 : std::max(0.0, metrics_.leading());
    return ascent() + descent() + leading * scale_;
}

QString ScaledText::capped(const QString& text) {
    if (text.size() <= maximumLength) return text;
    qsizetype n = maximumLength;
    if (text.at(n - 1).isHighSurrogate()) --n;  // keep surrogate pairs whole
    return text.left(n);
}

QString ScaledText::singleLine(QString text) {
    text = capped(text);
    for (QChar& c : text)
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) c = u' ';
    return text;
}

void ScaledText::draw(QPainter& painter, QPointF baselineLeft, const QString& text) const {
    if (text.isEmpty()) return;
    painter.save();
    painter.translate(baselineLeft);
    painter.scale(scale_, scale_);
    painter.setFont(font_);
    painter.drawText(QPointF(0, 0), singleLine(text));
    painter.restore();
}

QString ScaledText::elided(const QString& text, double width) const {
    return metrics_.elidedText(singleLine(text), Qt::ElideRight, width / scale_);
}

QStringList ScaledText::wrapped(const QString& text, double width, int maxLines) const {
    QStringList lines;
    if (text.isEmpty()) return lines;
    QString source = capped(text);
    source.replace(u'\n', QChar::LineSeparator);
    QTextLayout layout(source, font_);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    const double lineWidth = width / scale_;
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(lineWidth);
        if (maxLines > 0 && lines.size() == maxLines - 1) {
            // The last allowed line takes everything that is left, shortened.
            const QString rest = source.mid(line.textStart());
            const QString first = rest.section(QChar::LineSeparator, 0, 0);
            const bool more = first.size() < rest.size() || metrics_.horizontalAdvance(first) > lineWidth;
            lines << (more ? metrics_.elidedText(first + (first.size() < rest.size() ? QStringLiteral("…") : QString()),
                                                 Qt::ElideRight, lineWidth)
                           : first);
            break;
        }
        lines << source.mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator).trimmed();
    }
    layout.endLayout();
    return lines;
}

}  // namespace norvo
