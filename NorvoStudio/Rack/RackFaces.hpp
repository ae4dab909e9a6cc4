#pragma once

namespace norvo {

class DeckFacade;
struct TunerServices;

// What the faces in the rack read and call, each through its own narrow interface; the
// application builds them once in main, tests and the gallery put fakes in.
struct RackFaces {
    DeckFacade& deck;
    const TunerServices& tuner;
};

}  // namespace norvo
