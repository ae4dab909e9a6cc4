#include "Tuner/SearchField.hpp"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/SystemSymbol.hpp"

namespace norvo {

namespace {

constexpr qreal sidePadding = 7;
constexpr qreal spacing = 5;
constexpr qreal symbolSize = 10;

// The plain clear button: the symbol alone.
class ClearButton final : public QAbstractButton {
public:
    explicit ClearButton(QWidget* parent) : QAbstractButton(parent) {
        setCursor(Qt::ArrowCursor);
        setFocusPolicy(Qt::NoFocus);
        setToolTip(QStringLiteral("Clear the search"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        SystemSymbol::paint(painter, QStringLiteral("xmark.circle.fill"), QRectF(rect()).center(), symbolSize,
                            QFont::Normal, KitColor::faded(KitColor::displayCyan, 0.5));
    }
};

}  // namespace

SearchField::SearchField(QWidget* parent)
    : QWidget(parent), field_(new QLineEdit(this)), clear_(new ClearButton(this)) {
    field_->setFrame(false);
    field_->setFont(KitFont::system(11));
    field_->setPlaceholderText(QStringLiteral("Search stations by name"));
    QPalette palette = field_->palette();
    palette.setColor(QPalette::Text, KitColor::displayCyan);
    palette.setColor(QPalette::PlaceholderText, KitColor::faded(KitColor::displayCyan, 0.3));
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Window, Qt::transparent);
    field_->setPalette(palette);
    field_->setAttribute(Qt::WA_TranslucentBackground);
    field_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; }"));
    connect(field_, &QLineEdit::returnPressed, this, &SearchField::submitted);
    connect(field_, &QLineEdit::textChanged, this, [this](const QString& text) {
        clear_->setVisible(!text.isEmpty());
        resizeEvent(nullptr);
    });
    connect(clear_, &QAbstractButton::clicked, this, &SearchField::cleared);
    clear_->setVisible(false);
    setFixedHeight(int(height));
}

QString SearchField::text() const { return field_->text(); }
void SearchField::setText(const QString& text) { field_->setText(text); }

void SearchField::setLit(bool lit) {
    if (lit_ == lit) return;
    lit_ = lit;
    update();
}

void SearchField::resizeEvent(QResizeEvent*) {
    const qreal left =
        sidePadding + SystemSymbol::size(QStringLiteral("magnifyingglass"), symbolSize).width() + spacing;
    qreal right = width() - sidePadding;
    if (clear_->isVisibleTo(this)) {
        clear_->setGeometry(QRectF(right - 14, 0, 14, height).toRect());
        right -= 14 + spacing;
    }
    field_->setGeometry(QRectF(left, 1, std::max<qreal>(0, right - left), height - 2).toRect());
}

void SearchField::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = rect();
    picture_.paint(painter, box, lit_, [&](QPainter& p) {
        QPainterPath shape;
        shape.addRoundedRect(box, 5, 5);
        p.fillPath(shape, KitColor::displayGlass);
        // Stroked inside the border.
        const qreal line = 1.2;
        QPainterPath rim;
        rim.addRoundedRect(box.adjusted(line / 2, line / 2, -line / 2, -line / 2), 5 - line / 2, 5 - line / 2);
        p.setPen(QPen(lit_ ? KitColor::faded(KitColor::amber, 0.7) : QColor::fromRgbF(0, 0, 0, 0.8f), line));
        p.setBrush(Qt::NoBrush);
        p.drawPath(rim);
        const QSizeF glass = SystemSymbol::size(QStringLiteral("magnifyingglass"), symbolSize);
        SystemSymbol::paint(p, QStringLiteral("magnifyingglass"), QPointF(sidePadding + glass.width() / 2, height / 2),
                            symbolSize, QFont::Medium, KitColor::faded(KitColor::displayCyan, lit_ ? 0.9 : 0.5));
    });
}

}  // namespace norvo
