#include "Tuner/StatusOverlay.hpp"

#include <QFontMetricsF>
#include <QPainter>

#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/MiniKey.hpp"
#include "Kit/SystemSymbol.hpp"
#include "Tuner/Spinner.hpp"
#include "Tuner/StationGuideRules.hpp"

namespace norvo {

namespace {

constexpr qreal spacing = 7;
constexpr qreal padding = 10;
constexpr qreal keyWidth = 90;

QColor ink() { return KitColor::faded(KitColor::displayCyan, 0.45); }
QFont textFont() { return KitFont::system(11); }

}  // namespace

struct StatusOverlay::Layout {
    QString symbol;
    qreal symbolSize = 0;
    QRectF symbolRect;  // or the spinner's
    QRectF textRect;
    QRectF keyRect;
};

StatusOverlay::Case StatusOverlay::caseFor(bool bandEmpty, bool loading, const std::optional<std::string>& error,
                                           bool isOn) {
    if (!bandEmpty) return Case::hidden;
    if (loading) return Case::scanning;
    if (error) return Case::error;
    return isOn ? Case::noStations : Case::tunerOff;
}

StatusOverlay::StatusOverlay(const Clock& clock, QWidget* parent)
    : QWidget(parent), clock_(clock), tryAgain_(new MiniKey(QStringLiteral("Try Again"), this)) {
    connect(tryAgain_, &QAbstractButton::clicked, this, &StatusOverlay::tryAgain);
    tryAgain_->hide();
    setAttribute(Qt::WA_TranslucentBackground);
    QWidget::hide();
}

void StatusOverlay::show(Case which, const std::optional<std::string>& error) {
    const QString errorText = error ? QString::fromStdString(StationGuideRules::capitalised(*error)) : QString();
    if (which == case_ && errorText == error_) return;
    case_ = which;
    error_ = errorText;
    setVisible(case_ != Case::hidden);
    tryAgain_->setVisible(case_ == Case::error);
    resizeEvent(nullptr);
    update();
}

QString StatusOverlay::message() const {
    switch (case_) {
    case Case::hidden: return {};
    case Case::scanning: return QStringLiteral("Scanning the band\u2026");
    case Case::error: return error_;
    case Case::noStations: return QStringLiteral("No stations found");
    case Case::tunerOff: return QStringLiteral("Switch the tuner on to scan the band");
    }
    return {};
}

StatusOverlay::Layout StatusOverlay::layout() const {
    Layout l;
    switch (case_) {
    case Case::error: l.symbol = QStringLiteral("wifi.exclamationmark"), l.symbolSize = 22; break;
    case Case::noStations:
        l.symbol = QStringLiteral("antenna.radiowaves.left.and.right.slash"), l.symbolSize = 22;
        break;
    case Case::tunerOff: l.symbol = QStringLiteral("radio"), l.symbolSize = 24; break;
    default: break;
    }
    const QSizeF symbol = case_ == Case::scanning ? QSizeF(2 * Spinner::radius, 2 * Spinner::radius)
                                                  : SystemSymbol::size(l.symbol, l.symbolSize);
    const qreal textWidth = std::max<qreal>(0, width() - 2 * padding);
    const QRectF text =
        QFontMetricsF(textFont())
            .boundingRect(QRectF(0, 0, textWidth, 1000), Qt::AlignHCenter | Qt::TextWordWrap, message());
    qreal total = symbol.height() + spacing + text.height();
    if (case_ == Case::error) total += spacing + 20;
    qreal y = (height() - total) / 2;
    l.symbolRect = QRectF((width() - symbol.width()) / 2, y, symbol.width(), symbol.height());
    y += symbol.height() + spacing;
    l.textRect = QRectF(padding, y, textWidth, text.height());
    y += text.height() + spacing;
    l.keyRect = QRectF((width() - keyWidth) / 2, y, keyWidth, 20);
    return l;
}

void StatusOverlay::resizeEvent(QResizeEvent*) {
    if (case_ == Case::error) tryAgain_->setKeyGeometry(layout().keyRect.toRect());
}

void StatusOverlay::paintEvent(QPaintEvent*) {
    if (case_ == Case::hidden) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // The spinner turns with the clock; everything else stays until the case or the text changes.
    const Shown shown{case_, message(),
                      case_ == Case::scanning ? std::optional(Spinner::phase(clock_.now())) : std::nullopt};
    const QString& text = shown.text;
    picture_.paint(painter, QRectF(rect()), shown, [&](QPainter& p) {
        const Layout l = layout();
        if (shown.spinnerPhase) Spinner::paint(p, l.symbolRect.center(), KitColor::displayCyan, *shown.spinnerPhase);
        else SystemSymbol::paint(p, l.symbol, l.symbolRect.center(), l.symbolSize, QFont::Light, ink());
        p.setFont(textFont());
        p.setPen(ink());
        p.drawText(l.textRect, Qt::AlignHCenter | Qt::TextWordWrap, text);
    });
}

}  // namespace norvo
