#pragma once

namespace norvo {

// FFmpeg reports damaged input on stderr by default. We turn every failure into a
// sentence of our own, so its console messages are only noise; the first FFmpeg user
// turns them down (to fatal errors) once for the process.
struct FFmpegLog {
    static void quiet();
};

}  // namespace norvo
