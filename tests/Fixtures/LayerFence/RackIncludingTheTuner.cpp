// The rack sees the model, the kit and the drawn cassette, but neither the tuner nor the
// designer, although both are in the tree (found from here by their path).
#if !__has_include("Rack/CassetteDeckView.hpp") ||                    \
                   !__has_include("StudioModel/StudioModel.hpp") ||   \
                                  !__has_include("Kit/KeyCap.hpp") || \
                                                 !__has_include("CassetteDrawing/CassetteView.hpp")
#error "the rack's own or lower headers are out of sight: the probe is not compiled as the rack library"
#endif
#if !__has_include("../../../NorvoStudio/Tuner/TunerView.hpp") || \
                   !__has_include("../../../NorvoStudio/Designer/CassetteDesignerView.hpp")
#error "the tuner's or the designer's header is not in the source tree: the probe proves nothing"
#endif
#if __has_include("Tuner/TunerView.hpp") || __has_include("Designer/CassetteDesignerView.hpp")
#error "the rack library sees the tuner or the designer"
#endif
