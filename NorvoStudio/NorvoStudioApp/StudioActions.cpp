#include "NorvoStudioApp/StudioActions.hpp"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "AudioEngine/CassetteType.hpp"
#include "Rack/TapeSoundMenuItems.hpp"
#include "StudioModel/ShownText.hpp"
#include "StudioModel/StudioModel.hpp"

namespace norvo {

namespace {

const QString emDash = QStringLiteral("\u2014");

int index(StudioActions::Id id) { return static_cast<int>(id); }

const CassetteType& standardType(StudioActions::Id id) {
    return CassetteType::standard().at(static_cast<std::size_t>(index(id) - index(StudioActions::Id::newC46)));
}

void setEnabled(QAction* action, bool enabled) {
    if (action->isEnabled() != enabled) action->setEnabled(enabled);
}

}  // namespace

StudioActions::StudioActions(StudioModel& model, QObject* parent)
    : QObject(parent),
      model_(model),
      newCassetteMenu_(std::make_unique<QMenu>()),
      tapeSoundMenu_(std::make_unique<QMenu>()),
      storeMenu_(std::make_unique<QMenu>()) {
    actions_.resize(StudioCommands::idCount, nullptr);

    make(Id::newCassetteMenu, tr("New Blank Cassette"))->setMenu(newCassetteMenu_.get());
    newCassetteMenu_->setTitle(tr("New Blank Cassette"));
    for (Id id : {Id::newC46, Id::newC60, Id::newC90, Id::newC120}) {
        const CassetteType& type = standardType(id);
        newCassetteMenu_->addAction(make(id, QString::fromStdString(type.description()) + QStringLiteral(" ") + emDash +
                                                 QStringLiteral(" ") + QString::number(type.minutesPerSide()) +
                                                 tr(" min per side")));
    }
    make(Id::openCassette, tr("Open Cassette\u2026"));
    make(Id::addMusic, tr("Add Music to Player\u2026"));
    make(Id::saveCassette, tr("Save Cassette"));
    make(Id::saveCassetteAs, tr("Save Cassette As\u2026"));
    make(Id::ejectCassette, tr("Eject Cassette"));
    make(Id::quit, tr("Quit"))->setMenuRole(QAction::QuitRole);

    make(Id::play, tr("Play"));
    make(Id::record, tr("Record"));
    make(Id::stop, tr("Stop"));
    make(Id::flip, tr("Flip Cassette"));
    inputGroup_ = new QActionGroup(this);
    inputGroup_->setExclusive(true);
    for (auto [id, title] : {std::pair{Id::inputPlayer, tr("Input: CD \u00b7 MP3 Player")},
                             std::pair{Id::inputTuner, tr("Input: Radio Tuner")}}) {
        QAction* input = make(id, title);
        input->setCheckable(true);
        inputGroup_->addAction(input);
    }
    make(Id::tapeSoundMenu, tr("Tape Sound"))->setMenu(tapeSoundMenu_.get());
    tapeSoundMenu_->setTitle(tr("Tape Sound"));
    TapeSoundMenuItems::attach(*tapeSoundMenu_, model_);
    make(Id::resetCounter, tr("Reset Counter"));
    make(Id::designCassette, tr("Design Cassette\u2026"));

    make(Id::playerPlayPause, tr("Play / Pause"));
    make(Id::playerStop, tr("Stop"));
    make(Id::nextTrack, tr("Next Track"));
    make(Id::previousTrack, tr("Previous Track"));

    make(Id::tunerPower, tr("Switch Tuner On"));
    make(Id::nextStation, tr("Next Station"));
    make(Id::previousStation, tr("Previous Station"));
    for (int slot = 0; slot < TunerEngine::presetCount; ++slot) make(StudioCommands::presetId(slot), QString());
    make(Id::storeMenu, tr("Store Station in Preset"))->setMenu(storeMenu_.get());
    storeMenu_->setTitle(tr("Store Station in Preset"));
    for (int slot = 0; slot < TunerEngine::presetCount; ++slot)
        storeMenu_->addAction(make(StudioCommands::storeId(slot), QString()));
    make(Id::muting, tr("Muting"))->setCheckable(true);

    bind();
    refresh();
}

StudioActions::~StudioActions() {
    // The submenus go before the actions that show them.
    for (QAction* action : actions_) {
        if (action) action->setMenu(static_cast<QMenu*>(nullptr));
    }
}

QAction* StudioActions::make(Id id, const QString& title) {
    auto* action = new QAction(title, this);
    action->setShortcut(StudioCommands::shortcut(id));
    // Shortcuts work with every menu closed, wherever focus is in the window.
    action->setShortcutContext(Qt::WindowShortcut);
    action->setObjectName(QStringLiteral("action%1").arg(index(id)));
    actions_[static_cast<std::size_t>(index(id))] = action;
    return action;
}

QAction* StudioActions::action(Id id) const { return actions_.at(static_cast<std::size_t>(index(id))); }

void StudioActions::bind() {
    StudioModel& m = model_;
    auto on = [this](Id id, auto&& work) { connect(action(id), &QAction::triggered, this, work); };

    for (Id id : {Id::newC46, Id::newC60, Id::newC90, Id::newC120})
        on(id, [&m, id] { m.cassetteSlot().newCassette(standardType(id)); });
    on(Id::openCassette, [&m] { m.cassetteSlot().chooseCassette(); });
    on(Id::addMusic, [&m] { m.chooseSourceFiles(); });
    on(Id::saveCassette, [&m] {
        // The choice between saving in place and the panel is made once, now.
        CassetteSlot& slot = m.cassetteSlot();
        if (const auto file = slot.fileUrl()) {
            slot.save(*file);
        } else {
            slot.saveAs();
        }
    });
    on(Id::saveCassetteAs, [&m] { m.cassetteSlot().saveAs(); });
    on(Id::ejectCassette, [&m] { m.cassetteSlot().eject(); });
    on(Id::quit, [this] { emit quitRequested(); });

    on(Id::play, [&m] { m.transport(TransportCommand::play); });
    on(Id::record, [&m] { m.transport(TransportCommand::record); });
    on(Id::stop, [&m] { m.transport(TransportCommand::stop); });
    on(Id::flip, [&m] { m.transport(TransportCommand::flip); });
    on(Id::inputPlayer, [&m] {
        if (m.deckInput() != DeckInput::sourcePlayer) m.setDeckInput(DeckInput::sourcePlayer);
    });
    on(Id::inputTuner, [&m] {
        if (m.deckInput() != DeckInput::tuner) m.setDeckInput(DeckInput::tuner);
    });
    on(Id::resetCounter, [&m] { m.resetCounter(); });
    on(Id::designCassette, [&m] { m.setShowingDesigner(true); });

    on(Id::playerPlayPause, [&m] { m.source().togglePlayPause(); });
    on(Id::playerStop, [&m] { m.source().stop(); });
    on(Id::nextTrack, [&m] { m.source().next(); });
    on(Id::previousTrack, [&m] { m.source().previous(); });

    on(Id::tunerPower, [&m] { m.tuner().togglePower(); });
    on(Id::nextStation, [&m] { m.tuner().stepDial(1); });
    on(Id::previousStation, [&m] { m.tuner().stepDial(-1); });
    for (int slot = 0; slot < TunerEngine::presetCount; ++slot) {
        on(StudioCommands::presetId(slot), [&m, slot] { m.tuner().pressPreset(slot); });
        on(StudioCommands::storeId(slot), [&m, slot] { m.tuner().storeCurrentStation(slot); });
    }
    connect(action(Id::muting), &QAction::triggered, this, [&m](bool checked) { m.tuner().setMuting(checked); });

    for (auto signal : {&StudioModel::documentChanged, &StudioModel::busyChanged, &StudioModel::modelChanged,
                        &StudioModel::deckInputChanged, &StudioModel::tunerChanged, &StudioModel::fileUrlChanged})
        connect(&model_, signal, this, &StudioActions::refresh);
}

void StudioActions::refresh() {
    const StudioModel& m = model_;
    const bool loaded = m.editor().document().has_value();
    const bool busy = m.cassetteSlot().busy().has_value();

    // A load or save in flight refuses new cassettes, opening and ejecting.
    for (Id id : {Id::newCassetteMenu, Id::newC46, Id::newC60, Id::newC90, Id::newC120, Id::openCassette})
        setEnabled(action(id), !busy);
    setEnabled(action(Id::saveCassette), m.isCassetteIdle());
    setEnabled(action(Id::saveCassetteAs), m.isCassetteIdle());
    setEnabled(action(Id::ejectCassette), loaded && !busy);
    setEnabled(action(Id::designCassette), loaded);

    const bool player = m.deckInput() == DeckInput::sourcePlayer;
    if (action(Id::inputPlayer)->isChecked() != player) action(Id::inputPlayer)->setChecked(player);
    if (action(Id::inputTuner)->isChecked() == player) action(Id::inputTuner)->setChecked(!player);

    TunerEngine& tuner = model_.tuner();
    action(Id::tunerPower)->setText(tuner.isOn() ? tr("Switch Tuner Off") : tr("Switch Tuner On"));
    const auto& presets = tuner.presets();
    for (int slot = 0; slot < TunerEngine::presetCount; ++slot) {
        const auto& station = presets[static_cast<std::size_t>(slot)];
        const QString number = QStringLiteral("P") + QString::number(slot + 1);
        const QString name = station ? StudioCommands::menuText(ShownText::isolated(station->name)) : QString();
        QAction* preset = action(StudioCommands::presetId(slot));
        preset->setText(number + QStringLiteral("  ") + (station ? name : emDash));
        setEnabled(preset, station.has_value());
        action(StudioCommands::storeId(slot))
            ->setText(station ? number + QStringLiteral("  ") + emDash + QStringLiteral("  ") + name : number);
    }
    setEnabled(action(Id::storeMenu), tuner.station().has_value());
    if (action(Id::muting)->isChecked() != tuner.muting()) action(Id::muting)->setChecked(tuner.muting());
}

}  // namespace norvo
