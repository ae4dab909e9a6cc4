#include "DesignerFormSection.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "CassetteDrawing/HandwritingFont.hpp"

namespace norvo {
namespace {

// The rounded box behind a section's rows, with a hairline between neighbouring rows.
class SectionBox final : public QWidget {
public:
    explicit SectionBox(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath path;
        path.addRoundedRect(r, 7, 7);
        p.fillPath(path, palette().color(QPalette::Base));
        QColor edge = palette().color(QPalette::WindowText);
        edge.setAlphaF(0.12f);
        p.setPen(QPen(edge, 1));
        p.drawPath(path);
        edge.setAlphaF(0.08f);
        p.setPen(QPen(edge, 1));
        const auto* rows = qobject_cast<QVBoxLayout*>(layout());
        if (!rows) return;
        bool first = true;
        for (int i = 0; i < rows->count(); ++i) {
            QWidget* row = rows->itemAt(i)->widget();
            if (!row || row->isHidden()) continue;
            if (!first) {
                const double y = row->geometry().top() + 0.5;
                p.drawLine(QPointF(10, y), QPointF(width() - 0.5, y));
            }
            first = false;
        }
    }
};

QColor secondary(const QPalette& palette) {
    QColor c = palette.color(QPalette::WindowText);
    c.setAlphaF(0.55f);
    return c;
}

}  // namespace

DesignerFormSection::DesignerFormSection(const QString& header, const QString& footer, QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);

    header_ = new QLabel(header, this);
    header_->setTextFormat(Qt::PlainText);
    header_->setFont(HandwritingFont::system(11, QFont::DemiBold));
    QPalette hp = header_->palette();
    hp.setColor(QPalette::WindowText, secondary(palette()));
    header_->setPalette(hp);
    header_->setContentsMargins(10, 0, 10, 0);
    header_->setVisible(!header.isEmpty());
    column->addWidget(header_);

    box_ = new SectionBox(this);
    rows_ = new QVBoxLayout(box_);
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(0);
    column->addWidget(box_);

    footer_ = captionLabel(footer, this);
    footer_->setWordWrap(true);
    footer_->setContentsMargins(10, 0, 10, 0);
    footer_->setVisible(!footer.isEmpty());
    column->addWidget(footer_);
}

QWidget* DesignerFormSection::addRow(const QString& label, QWidget* control) {
    auto* row = new QWidget(box_);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(10, 5, 10, 5);
    line->setSpacing(10);
    if (!label.isEmpty()) {
        QLabel* title = bodyLabel(label, row);
        title->setMinimumWidth(96);
        title->setBuddy(control);
        line->addWidget(title);
    }
    control->setParent(row);
    line->addWidget(control, 1);
    return addWidgetRow(row);
}

QLabel* DesignerFormSection::addValueRow(const QString& label, const QString& value) {
    auto* row = new QWidget(box_);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(10, 6, 10, 6);
    line->setSpacing(10);
    QLabel* title = bodyLabel(label, row);
    line->addWidget(title);
    line->addStretch(1);
    QLabel* shown = bodyLabel(value, row);
    shown->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette vp = shown->palette();
    vp.setColor(QPalette::WindowText, secondary(palette()));
    shown->setPalette(vp);
    line->addWidget(shown, 0);
    addWidgetRow(row);
    return shown;
}

QWidget* DesignerFormSection::addWidgetRow(QWidget* row) {
    row->setParent(box_);
    row->setMinimumHeight(std::max(row->minimumHeight(), 30));
    // A row keeps its height: the form scrolls instead of squeezing rows (an editor
    // grown by its text would be cut).
    const bool flows = row->hasHeightForWidth() || (row->layout() && row->layout()->hasHeightForWidth());
    if (!flows) row->setSizePolicy(row->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    rows_->addWidget(row);
    row->show();
    box_->update();
    return row;
}

void DesignerFormSection::removeRows(int first) {
    while (rows_->count() > first) {
        QLayoutItem* item = rows_->takeAt(rows_->count() - 1);
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    box_->update();
}

int DesignerFormSection::rowCount() const { return rows_->count(); }

QWidget* DesignerFormSection::row(int index) const {
    QLayoutItem* item = rows_->itemAt(index);
    return item ? item->widget() : nullptr;
}

QLabel* DesignerFormSection::bodyLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(HandwritingFont::system(13));
    return label;
}

QLabel* DesignerFormSection::captionLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(HandwritingFont::system(11));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, secondary(label->palette()));
    label->setPalette(p);
    return label;
}

}  // namespace norvo
