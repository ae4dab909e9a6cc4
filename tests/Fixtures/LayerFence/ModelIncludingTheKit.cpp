// The model sees the engine and itself, not the views, although they are in the tree
// (found from here by their path).
#if !__has_include("StudioModel/StudioModel.hpp") || !__has_include("Radio/RadioStation.hpp")
#error "the model's or the engine's headers are out of sight: the probe is not compiled as the model library"
#endif
#if !__has_include("../../../NorvoStudio/Kit/KeyCap.hpp")
#error "NorvoStudio/Kit/KeyCap.hpp is not in the source tree: the probe proves nothing"
#endif
#if __has_include("Kit/KeyCap.hpp")
#error "the model library sees Kit/KeyCap.hpp"
#endif
