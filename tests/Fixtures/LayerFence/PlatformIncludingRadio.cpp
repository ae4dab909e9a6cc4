// The platform layer sees its own headers and nothing of the engine above it, although the
// engine's headers are in the tree (found from here by their path).
#if !__has_include("Platform/RegularFile.hpp")
#error "Platform/RegularFile.hpp is out of sight: the probe is not compiled as the platform library"
#endif
#if !__has_include("../../../NorvoKit/Radio/RadioStation.hpp")
#error "NorvoKit/Radio/RadioStation.hpp is not in the source tree: the probe proves nothing"
#endif
#if __has_include("Radio/RadioStation.hpp")
#error "the platform library sees Radio/RadioStation.hpp"
#endif
