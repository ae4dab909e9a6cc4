#include "Support/RadioFixtures.hpp"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "Support/AudioFixtures.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo::test {

std::vector<std::string> RadioCodec::mp3Cbr(int kbps) {
    return {"-c:a", "libmp3lame", "-b:a", std::to_string(kbps) + "k", "-f", "mp3"};
}

std::vector<std::string> RadioCodec::mp3Vbr() { return {"-c:a", "libmp3lame", "-q:a", "4", "-f", "mp3"}; }

std::vector<std::string> RadioCodec::mp2(int kbps) {
    return {"-c:a", "mp2", "-b:a", std::to_string(kbps) + "k", "-f", "mp2"};
}

std::vector<std::string> RadioCodec::aacAdts(int kbps) {
    return {"-c:a", "aac", "-b:a", std::to_string(kbps) + "k", "-f", "adts"};
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string encodedTone(const std::string& extension, const std::vector<std::string>& codecArgs,
                        double seconds, int sampleRate, int channels, double left, double right) {
    TemporaryDirectory scratch;
    const std::filesystem::path file = scratch / ("tone." + extension);
    generateTone(file, seconds, left, right, sampleRate, channels, codecArgs);
    return readBytes(file);
}

std::filesystem::path committedFixture(const std::string& name) {
    return std::filesystem::path(NORVO_TEST_FIXTURES_DIR) / name;
}

std::string randomBytes(std::size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

}  // namespace norvo::test
