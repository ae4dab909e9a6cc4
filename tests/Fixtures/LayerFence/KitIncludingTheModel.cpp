// The kit sees Qt and itself, nothing of the studio, although the studio is in the tree
// (found from here by its path).
#if !__has_include("Kit/KeyCap.hpp") || !__has_include(<QWidget>)
#error "the kit's or Qt's headers are out of sight: the probe is not compiled as the kit library"
#endif
#if !__has_include("../../../NorvoStudio/StudioModel/StudioModel.hpp")
#error "NorvoStudio/StudioModel/StudioModel.hpp is not in the source tree: the probe proves nothing"
#endif
#if __has_include("StudioModel/StudioModel.hpp")
#error "the kit library sees StudioModel/StudioModel.hpp"
#endif
