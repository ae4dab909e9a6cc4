#include "StudioModel/StandardStudioServices.hpp"

#include "Radio/RadioBrowserClient.hpp"

namespace norvo {

StandardStudioServices::StandardStudioServices() : tunerDirectory_(RadioBrowserClient::shared()) {}

StudioServices StandardStudioServices::services(MainExecutor& executor, DefaultsStore& defaults, StudioUi& ui) {
    return StudioServices{executor, defaults, sourceStreams_, tunerDirectory_, tunerStreams_, ui, {}, {}, {}};
}

}  // namespace norvo
