#pragma once

namespace norvo {

class PlayerFacade;

// What the rack's faces read and call besides the studio model, built once by the
// application (or a test) and handed down to each face.
struct RackInputs {
    PlayerFacade& player;
};

}  // namespace norvo
