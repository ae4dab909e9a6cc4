#include "AudioEngine/DecodedSourceStreamFactory.hpp"

#include "AudioEngine/AudioFileDecoder.hpp"
#include "AudioEngine/DecodedSourceStream.hpp"

namespace norvo {

std::unique_ptr<SourceStream> DecodedSourceStreamFactory::open(const std::filesystem::path& file,
                                                               int64_t startFrame) {
    return std::make_unique<DecodedSourceStream>(file, startFrame);
}

std::optional<int64_t> DecodedSourceStreamFactory::probeDuration(const std::filesystem::path& file) {
    return AudioFileDecoder::probeDuration(file);
}

}  // namespace norvo
