#include "Support/AudioFixtures.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "Support/TemporaryDirectory.hpp"

extern char** environ;

namespace norvo::test {

namespace {

std::string lowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

std::string layoutName(int channels) {
    switch (channels) {
    case 1: return "mono";
    case 2: return "stereo";
    case 3: return "3.0";
    case 4: return "quad";
    case 5: return "5.0";
    case 6: return "5.1";
    case 7: return "6.1";
    case 8: return "7.1";
    default: throw std::invalid_argument("no test layout for " + std::to_string(channels) + " channels");
    }
}

std::string number(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int64_t generatedFrames(double seconds, int sampleRate) { return std::llround(seconds * sampleRate); }

std::vector<std::string> defaultCodecArgs(const std::filesystem::path& path) {
    const std::string extension = lowerExtension(path);
    if (extension == ".wav" || extension == ".wave") return {"-c:a", "pcm_s16le", "-f", "wav"};
    if (extension == ".mp3") return {"-c:a", "libmp3lame", "-b:a", "192k"};
    if (extension == ".flac") return {"-c:a", "flac"};
    if (extension == ".aif" || extension == ".aiff") return {"-c:a", "pcm_s16be", "-f", "aiff"};
    if (extension == ".m4a") return {"-c:a", "alac", "-f", "ipod"};
    if (extension == ".caf") return {"-c:a", "pcm_s16le", "-f", "caf"};
    return {};
}

void runFFmpeg(const std::vector<std::string>& arguments) {
    TemporaryDirectory scratch;
    const std::string errorFile = (scratch / "stderr.txt").string();
    std::vector<std::string> all = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error(std::string("cannot run ffmpeg: ") + std::strerror(spawned));
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::ostringstream message;
        message << "ffmpeg failed:";
        for (const std::string& argument : arguments) message << ' ' << argument;
        message << "\n" << readAll(errorFile);
        throw std::runtime_error(message.str());
    }
}

void generateSignal(const std::filesystem::path& path, const std::vector<std::string>& channelExpressions,
                    double seconds, int sampleRate, const std::vector<std::string>& codecArgs) {
    std::string expressions;
    for (const std::string& expression : channelExpressions) {
        if (!expressions.empty()) expressions += '|';
        expressions += expression;
    }
    const int channels = static_cast<int>(channelExpressions.size());
    // A little longer than asked, then trimmed to the exact sample count.
    const std::string source = "aevalsrc=exprs=" + expressions + ":s=" + std::to_string(sampleRate) +
                               ":c=" + layoutName(channels) + ":d=" + number(seconds + 0.1);
    std::vector<std::string> arguments = {
        "-f", "lavfi", "-i", source, "-af", "atrim=end_sample=" + std::to_string(generatedFrames(seconds, sampleRate))};
    const std::vector<std::string> codec = codecArgs.empty() ? defaultCodecArgs(path) : codecArgs;
    arguments.insert(arguments.end(), codec.begin(), codec.end());
    arguments.push_back(path.string());
    runFFmpeg(arguments);
}

void generateTone(const std::filesystem::path& path, double seconds, double frequencyLeft, double frequencyRight,
                  int sampleRate, int channels, const std::vector<std::string>& codecArgs, double amplitude) {
    std::vector<std::string> expressions;
    for (int c = 0; c < channels; ++c) {
        if (c > 1) {
            expressions.push_back("0");
            continue;
        }
        const double frequency = c == 0 ? frequencyLeft : frequencyRight;
        expressions.push_back(number(amplitude) + "*sin(2*PI*" + number(frequency) + "*t)");
    }
    generateSignal(path, expressions, seconds, sampleRate, codecArgs);
}

void generateNoise(const std::filesystem::path& path, double seconds, int sampleRate, int channels,
                   const std::vector<std::string>& codecArgs, double amplitude) {
    std::vector<std::string> expressions;
    for (int c = 0; c < channels; ++c)
        expressions.push_back(number(amplitude) + "*(2*random(" + std::to_string(c) + ")-1)");
    generateSignal(path, expressions, seconds, sampleRate, codecArgs);
}

void truncateFile(const std::filesystem::path& path, std::uintmax_t bytes) {
    std::filesystem::resize_file(path, bytes);
}

StereoSamples decodeWithFFmpeg(const std::filesystem::path& path) {
    TemporaryDirectory scratch;
    const std::filesystem::path raw = scratch / "decoded.f32";
    runFFmpeg({"-i", path.string(), "-f", "f32le", "-c:a", "pcm_f32le", "-ac", "2", "-ar", "44100", raw.string()});
    const std::string bytes = readAll(raw);
    const std::size_t frames = bytes.size() / (2 * sizeof(float));
    StereoSamples samples;
    samples.left.resize(frames);
    samples.right.resize(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        std::memcpy(&samples.left[i], bytes.data() + i * 8, 4);
        std::memcpy(&samples.right[i], bytes.data() + i * 8 + 4, 4);
    }
    return samples;
}

}  // namespace norvo::test
