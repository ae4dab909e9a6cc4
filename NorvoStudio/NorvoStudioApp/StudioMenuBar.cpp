#include "NorvoStudioApp/StudioMenuBar.hpp"

#include <QMenu>
#include <QMenuBar>

#include "NorvoStudioApp/StudioActions.hpp"

namespace norvo {

void StudioMenuBar::build(QMenuBar& bar, StudioActions& actions) {
    using Id = StudioActions::Id;
    auto add = [&actions](QMenu* menu, std::initializer_list<Id> ids) {
        for (Id id : ids) menu->addAction(actions.action(id));
    };

    QMenu* file = bar.addMenu(QObject::tr("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    add(file, {Id::newCassetteMenu, Id::openCassette, Id::addMusic});
    file->addSeparator();
    add(file, {Id::saveCassette, Id::saveCassetteAs});
    file->addSeparator();
    add(file, {Id::ejectCassette});
    file->addSeparator();
    add(file, {Id::quit});

    QMenu* deck = bar.addMenu(QObject::tr("&Deck"));
    deck->setObjectName(QStringLiteral("deckMenu"));
    add(deck, {Id::play, Id::record, Id::stop, Id::flip});
    deck->addSeparator();
    add(deck, {Id::inputPlayer, Id::inputTuner});
    deck->addSeparator();
    add(deck, {Id::tapeSoundMenu});
    deck->addSeparator();
    add(deck, {Id::resetCounter, Id::designCassette});

    QMenu* player = bar.addMenu(QObject::tr("&Player"));
    player->setObjectName(QStringLiteral("playerMenu"));
    add(player, {Id::playerPlayPause, Id::playerStop, Id::nextTrack, Id::previousTrack});

    QMenu* tuner = bar.addMenu(QObject::tr("&Tuner"));
    tuner->setObjectName(QStringLiteral("tunerMenu"));
    add(tuner, {Id::tunerPower});
    tuner->addSeparator();
    add(tuner, {Id::nextStation, Id::previousStation});
    tuner->addSeparator();
    for (int slot = 0; slot < 8; ++slot) tuner->addAction(actions.action(StudioCommands::presetId(slot)));
    add(tuner, {Id::storeMenu});
    tuner->addSeparator();
    add(tuner, {Id::muting});
}

}  // namespace norvo
