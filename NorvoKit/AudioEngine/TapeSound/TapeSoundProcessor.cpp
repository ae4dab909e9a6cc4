#include "AudioEngine/TapeSound/TapeSoundProcessor.hpp"

namespace norvo {

TapeSoundProcessor::TapeSoundProcessor(const SoundProfile&, double) {}
void TapeSoundProcessor::reset() noexcept {}
void TapeSoundProcessor::process(float*, float*, int) noexcept {}

}  // namespace norvo
