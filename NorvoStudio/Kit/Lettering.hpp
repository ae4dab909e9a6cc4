#pragma once

namespace norvo {

// The ink of panel lettering: light on the black faceplates, dark on silver metal.
enum class Lettering { light, dark };

}  // namespace norvo
