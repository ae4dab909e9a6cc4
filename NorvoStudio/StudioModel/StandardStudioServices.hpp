#pragma once
#include <memory>

#include "AudioEngine/DecodedSourceStreamFactory.hpp"
#include "Radio/BrowserTunerDirectory.hpp"
#include "Radio/RadioTunerStreamFactory.hpp"
#include "StudioModel/StudioServices.hpp"

namespace norvo {

// The real engines' factories for the application: decoded files, the public station
// directory, real radio streams; the model makes the sound device output itself. Keep it
// alive as long as the model.
class StandardStudioServices {
public:
    StandardStudioServices();
    StandardStudioServices(const StandardStudioServices&) = delete;
    StandardStudioServices& operator=(const StandardStudioServices&) = delete;

    StudioServices services(MainExecutor& executor, DefaultsStore& defaults, StudioUi& ui);

private:
    DecodedSourceStreamFactory sourceStreams_;
    BrowserTunerDirectory tunerDirectory_;
    RadioTunerStreamFactory tunerStreams_;
};

}  // namespace norvo
