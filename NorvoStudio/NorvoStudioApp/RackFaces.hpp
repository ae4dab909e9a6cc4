#pragma once

namespace norvo {

class DeckFacade;
class PlayerFacade;
struct TunerServices;

// What the faces in the rack read and call, each through its own narrow interface; the
// application builds them once in main, tests and the gallery put fakes in.
struct RackFaces {
    PlayerFacade& player;
    DeckFacade& deck;
    const TunerServices& tuner;
};

}  // namespace norvo
