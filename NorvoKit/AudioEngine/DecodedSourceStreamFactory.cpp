#include "AudioEngine/DecodedSourceStreamFactory.hpp"

#include "AudioEngine/AudioFileDecoder.hpp"
#include "AudioEngine/DecodedSourceStream.hpp"

namespace norvo {

std::unique_ptr<SourceStream> DecodedSourceStreamFactory::open(const std::filesystem::path& file, int64_t startFrame,
                                                               std::optional<int64_t> measuredFrames) {
    return std::make_unique<DecodedSourceStream>(file, startFrame, DecodedSourceStream::defaultRingSeconds,
                                                 measuredFrames);
}

std::optional<int64_t> DecodedSourceStreamFactory::probeDuration(const std::filesystem::path& file,
                                                                 const std::atomic<bool>* cancelled) {
    return AudioFileDecoder::probeDuration(file, cancelled);
}

}  // namespace norvo
