#include "DesignerDetailsPage.hpp"

#include <QDateTime>
#include <QLabel>
#include <QRegularExpression>
#include <map>

#include "CassetteDrawing/HandwritingFont.hpp"
#include "DesignerCassettePage.hpp"
#include "DesignerFormSection.hpp"
#include "DesignerTextEditor.hpp"
#include "DesignerTextField.hpp"
#include "StudioModel/CassetteSlot.hpp"
#include "StudioModel/DocumentEditor.hpp"
#include "StudioModel/FormatTapeTime.hpp"
#include "StudioModel/ShownText.hpp"

namespace norvo {

using View = CassetteDesignerView;

namespace {

QString sideLetter(std::optional<TapeSide> side) {
    if (!side) return QStringLiteral("?");
    return *side == TapeSide::a ? QStringLiteral("A") : QStringLiteral("B");
}

QString capitalisedWords(QString text) {
    text.replace(QLatin1Char('_'), QLatin1Char(' '));
    bool start = true;
    for (QChar& c : text) {
        if (c.isSpace()) {
            start = true;
            continue;
        }
        c = start ? c.toUpper() : c.toLower();
        start = false;
    }
    return text;
}

}  // namespace

QString DesignerDetailsPage::typeText(const CassetteType& type) {
    return QString::fromStdString(type.description()) + QStringLiteral(" \u00B7 ") +
           QString::number(type.minutesPerSide()) + tr(" min per side");
}

namespace {

struct DateFormats {
    QString date;
    QString time;
};

// The locale's long date without the weekday and with the month abbreviated (Qt has no
// medium date style of its own), and its short time without seconds. Worked out once per
// locale: every history row asks for it on every edit.
const DateFormats& dateFormats(const QLocale& locale) {
    static std::map<QString, DateFormats> cache;
    auto found = cache.find(locale.name());
    if (found != cache.end()) return found->second;
    QString date = locale.dateFormat(QLocale::LongFormat);
    date.remove(QRegularExpression(QStringLiteral("d{4}[,.]?\\s*")));
    date.remove(QRegularExpression(QStringLiteral("\\s*[,]?\\s*d{4}$")));
    date.replace(QRegularExpression(QStringLiteral("M{4}")), QStringLiteral("MMM"));
    QString time = locale.timeFormat(QLocale::ShortFormat);
    time.remove(QRegularExpression(QStringLiteral("[:.]ss?")));
    return cache.emplace(locale.name(), DateFormats{date.trimmed(), time.trimmed()}).first->second;
}

}  // namespace

QString DesignerDetailsPage::dateText(Date date, const QLocale& locale) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count();
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    const DateFormats& formats = dateFormats(locale);
    return locale.toString(local.date(), formats.date) + QStringLiteral(", ") +
           locale.toString(local.time(), formats.time);
}

QString DesignerDetailsPage::eventDescription(const HistoryEvent& event) {
    if (event.type == "created") {
        QString text = tr("Created");
        if (event.app) text += QStringLiteral(" with ") + ShownText::isolatedWhenRightToLeft(*event.app);
        return text;
    }
    if (event.type == "recorded") {
        QStringList range;
        if (event.startFrame) range << formatTapeTime(*event.startFrame);
        if (event.endFrame) range << formatTapeTime(*event.endFrame);
        QString text = tr("Recorded") + QStringLiteral(" side ") + sideLetter(event.side) + QLatin1Char(' ') +
                       range.join(QStringLiteral("\u2013"));
        if (event.source) text += QStringLiteral(" from ") + ShownText::plain(*event.source).toUpper();
        return text;
    }
    if (event.type == "write_protect_changed") {
        const QString state = event.state ? DesignerCassettePage::stateText(*event.state) : tr("tab changed");
        return QStringLiteral("Side ") + sideLetter(event.side) + QStringLiteral(": ") + state;
    }
    return capitalisedWords(ShownText::plain(event.type));
}

DesignerDetailsPage::DesignerDetailsPage(DocumentEditor& editor, const CassetteSlot& slot, QWidget* parent)
    : DesignerForm(parent), editor_(editor), slot_(slot) {
    setObjectName(QStringLiteral("detailsPage"));

    DesignerFormSection* identity = addSection(tr("Identity"));
    creator_ = new DesignerTextField(View::stringBinding(
        editor_, [](auto& d) -> auto& { return d.creator; }));
    creator_->setObjectName(QStringLiteral("creator"));
    identity->addRow(tr("Creator"), creator_);
    serial_ = new DesignerTextField(View::stringBinding(
        editor_, [](auto& d) -> auto& { return d.serialNumber; }));
    serial_->setObjectName(QStringLiteral("serialNumber"));
    identity->addRow(tr("Serial number"), serial_);
    genre_ = new DesignerTextField(View::stringBinding(
        editor_, [](auto& d) -> auto& { return d.genre; }));
    genre_->setObjectName(QStringLiteral("genre"));
    identity->addRow(tr("Genre"), genre_);
    const QFont body = HandwritingFont::system(13);
    const int oneLine = QFontMetrics(body).lineSpacing() + 12;
    description_ = new DesignerTextEditor(View::stringBinding(
                                              editor_, [](auto& d) -> auto& { return d.description; }),
                                          body, oneLine);
    description_->setObjectName(QStringLiteral("description"));
    identity->addRow(tr("Description"), description_);
    notes_ = new DesignerTextEditor(View::stringBinding(
                                        editor_, [](auto& d) -> auto& { return d.notes; }),
                                    body, oneLine);
    notes_->setObjectName(QStringLiteral("notes"));
    identity->addRow(tr("Notes"), notes_);
    id_ = identity->addValueRow(tr("Cassette ID"), {});
    id_->setObjectName(QStringLiteral("cassetteID"));
    id_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    type_ = identity->addValueRow(tr("Type"), {});
    created_ = identity->addValueRow(tr("Created"), {});
    createdWith_ = identity->addValueRow(tr("Created with"), {});

    tape_ = addSection(tr("Tape"));
    sideARecorded_ = tape_->addValueRow(tr("Side A recorded"), {});
    sideARecorded_->setObjectName(QStringLiteral("sideARecorded"));
    sideBRecorded_ = tape_->addValueRow(tr("Side B recorded"), {});
    sideBRecorded_->setObjectName(QStringLiteral("sideBRecorded"));

    markers_ = addSection(tr("Track markers"));
    markersNote_ = DesignerFormSection::captionLabel(
        tr("Markers appear here as you record. They are informative: the tape stays one continuous recording."));
    markersNote_->setWordWrap(true);
    markersNote_->setContentsMargins(10, 6, 10, 6);
    markers_->addWidgetRow(markersNote_);

    history_ = addSection(tr("History"));
    refresh();
    refreshTape();
}

void DesignerDetailsPage::showRows(DesignerFormSection* section, std::vector<Row>& shown, std::vector<Row> rows) {
    if (rows == shown) return;
    // The note (markers) stays as row 0 of its section; list rows follow it.
    const int keep = section->rowCount() - int(shown.size());
    section->removeRows(keep);
    for (const Row& row : rows) section->addValueRow(row.label, row.value);
    shown = std::move(rows);
}

void DesignerDetailsPage::refresh() {
    const auto& document = editor_.document();
    if (!document) return;
    for (DesignerTextField* field : {creator_, serial_, genre_}) field->refresh();
    description_->refresh();
    notes_->refresh();
    auto set = [](QLabel* label, const QString& text) {
        if (label->text() != text) label->setText(text);
    };
    set(id_, QString::fromStdString(document->id.text()));
    set(type_, typeText(document->type));
    set(created_, dateText(document->createdAt));
    set(createdWith_, ShownText::plain(document->createdWith));

    std::vector<Row> markers;
    for (TapeSide side : {TapeSide::a, TapeSide::b})
        for (const TrackMarker& marker : document->side(side).markers)
            markers.push_back({sideLetter(side) + QLatin1Char(' ') + formatTapeTime(marker.frame),
                               ShownText::plain(marker.title)});
    markersNote_->setVisible(markers.empty());
    showRows(markers_, markerRows_, std::move(markers));

    std::vector<Row> history;
    for (auto event = document->history.rbegin(); event != document->history.rend(); ++event)
        history.push_back({dateText(event->timestamp), eventDescription(*event)});
    showRows(history_, historyRows_, std::move(history));
}

void DesignerDetailsPage::refreshTape() {
    const auto& media = slot_.media();
    tape_->setVisible(media != nullptr);
    if (!media) return;
    for (auto [label, side] : {std::pair{sideARecorded_, TapeSide::a}, std::pair{sideBRecorded_, TapeSide::b}}) {
        const QString text = formatTapeTime(media->used(side));
        if (label->text() != text) label->setText(text);
    }
}

}  // namespace norvo
