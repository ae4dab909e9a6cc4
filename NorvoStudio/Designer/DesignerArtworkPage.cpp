#include "DesignerArtworkPage.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "DesignerFormSection.hpp"
#include "DesignerKey.hpp"
#include "Kit/SystemSymbol.hpp"
#include "StudioModel/DocumentEditor.hpp"

namespace norvo {
namespace {

// The green "filled" mark of a slot.
class CheckMark final : public QWidget {
public:
    explicit CheckMark(QWidget* parent) : QWidget(parent) { setFixedSize(18, 18); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        SystemSymbol::paint(p, QStringLiteral("checkmark.circle.fill"), QRectF(rect()).adjusted(1, 1, -1, -1),
                            QColor(52, 199, 89), 1.5);
    }
};

QPushButton* key(const QString& title, QWidget* parent) { return new DesignerKey(title, parent); }

}  // namespace

std::vector<ArtworkRole> DesignerArtworkPage::shownRoles() {
    std::vector<ArtworkRole> roles;
    for (ArtworkRole role : allArtworkRoles)
        if (role != ArtworkRole::thumbnail) roles.push_back(role);
    return roles;
}

QString DesignerArtworkPage::sizeLine(ArtworkRole role) {
    const MillimetreSize mm = millimetreSize(role).value_or(MillimetreSize{});
    const PixelSize px = recommendedPixels(role);
    // asprintf prints decimals with a full stop whatever the locale, as the sizes are written.
    return QString::asprintf("%.1f \u00D7 %.1f mm \u00B7 %d \u00D7 %d px", mm.width, mm.height, px.width, px.height);
}

QString DesignerArtworkPage::imagesNote() {
    // A resolution is never broken across lines: no-break space and word joiners.
    return tr("Images replace the drawn parts. Sizes are physical (trim size, no bleed); 24\u00A0px\u2060/\u2060mm is "
              "recommended, 12\u00A0px\u2060/\u2060mm is the minimum. Keep the window and hub holes of shell and label "
              "images transparent so the reels show. Each slot's open panel names the size it is made for, in "
              "millimetres and pixels.");
}

DesignerArtworkPage::DesignerArtworkPage(DocumentEditor& editor, QWidget* parent)
    : DesignerForm(parent), editor_(editor) {
    setObjectName(QStringLiteral("artworkPage"));

    DesignerFormSection* images = addSection(tr("Images"), imagesNote());
    for (ArtworkRole role : shownRoles()) {
        SlotRow slot{role};
        const QString raw = QString::fromLatin1(rawValue(role).data(), qsizetype(rawValue(role).size()));
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("slot-") + raw);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(10, 6, 10, 6);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(
            DesignerFormSection::bodyLabel(QString::fromUtf8(title(role).data(), qsizetype(title(role).size())), row));
        texts->addWidget(DesignerFormSection::captionLabel(sizeLine(role), row));
        line->addLayout(texts);
        line->addStretch(1);
        slot.check = new CheckMark(row);
        line->addWidget(slot.check);
        slot.remove = key(tr("Remove"), row);
        slot.remove->setObjectName(QStringLiteral("remove"));
        connect(slot.remove, &QPushButton::clicked, this, [this, role] { editor_.removeArtwork(role); });
        line->addWidget(slot.remove);
        slot.choose = key(tr("Choose\u2026"), row);
        slot.choose->setObjectName(QStringLiteral("choose"));
        connect(slot.choose, &QPushButton::clicked, this, [this, role] { choose(role); });
        line->addWidget(slot.choose);
        images->addWidgetRow(row);
        slots_.push_back(slot);
    }

    booklet_ = addSection(tr("Booklet (fold-out panels)"),
                          tr("Each panel is 63.5 \u00D7 101.6 mm (1524 \u00D7 2438 px), in reading order."));
    refresh();
}

void DesignerArtworkPage::choose(std::optional<ArtworkRole> role) {
    DocumentEditor* editor = &editor_;
    QTimer::singleShot(0, this, [editor, role] {
        editor->chooseArtwork(role, [editor, role](const FileData& data) {
            if (role) editor->setArtwork(data, *role);
            else editor->appendBookletPanel(data);
        });
    });
}

void DesignerArtworkPage::rebuildPanels(int count) {
    booklet_->removeRows();
    for (int i = 0; i < count; ++i) {
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("panel-%1").arg(i + 1));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(10, 5, 10, 5);
        line->addWidget(DesignerFormSection::bodyLabel(tr("Panel ") + QString::number(i + 1), row));
        line->addStretch(1);
        QPushButton* remove = key(tr("Remove"), row);
        remove->setObjectName(QStringLiteral("remove"));
        connect(remove, &QPushButton::clicked, this, [this, i] { editor_.removeBookletPanel(i); });
        line->addWidget(remove);
        booklet_->addWidgetRow(row);
    }
    auto* addRow = new QWidget;
    auto* line = new QHBoxLayout(addRow);
    line->setContentsMargins(10, 5, 10, 5);
    QPushButton* add = key(tr("Add Panel\u2026"), addRow);
    add->setObjectName(QStringLiteral("addPanel"));
    connect(add, &QPushButton::clicked, this, [this] { choose(std::nullopt); });
    line->addWidget(add);
    line->addStretch(1);
    booklet_->addWidgetRow(addRow);
    panelsShown_ = count;
}

void DesignerArtworkPage::refresh() {
    const auto& document = editor_.document();
    if (!document) return;
    for (SlotRow& slot : slots_) {
        const bool filled = document->artwork.count(slot.role) > 0;
        slot.check->setVisible(filled);
        slot.remove->setVisible(filled);
        const QString title = filled ? tr("Replace\u2026") : tr("Choose\u2026");
        if (slot.choose->text() != title) slot.choose->setText(title);
    }
    const int panels = int(document->bookletPanels.size());
    if (panels != panelsShown_) rebuildPanels(panels);
}

}  // namespace norvo
