#pragma once
// The studio as a user runs it: the real binary on a real X server (xvfb-run) in a
// private home, driven by a shell script with xdotool. Each test program file under
// Desktop/ uses this fixture.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <QProcessEnvironment>
#include <QString>

#include "Cassette/CassetteDocument.hpp"
#include "Support/TemporaryDirectory.hpp"

#ifndef NORVO_STUDIO_BINARY
#error "NORVO_STUDIO_BINARY names the application under test"
#endif

namespace norvo::test {

class DesktopSession : public ::testing::Test {
protected:
    struct Run {
        bool finished = false;
        QString output;  // stdout and stderr of the script, merged
    };

    // Skips without xvfb-run; makes home, config, data, cache, runtime and music folders.
    void SetUp() override;

    std::filesystem::path dir(const char* name) const { return root.path() / name; }
    QString qdir(const char* name) const { return QString::fromStdString(dir(name).string()); }
    std::filesystem::path settingsFile() const { return dir("config") / "norvo-studio" / "defaults.json"; }

    // A blank C60 cassette saved in the music folder as "<name>.norvo".
    CassetteDocument makeCassette(const std::string& name);

    // The private home's XDG variables, no locale, QT_QPA_PLATFORM=xcb, APP (the binary), no sound
    // server reachable and NO_SOUND_CARD ("1" when the machine has none, so the studio
    // will say "No audio output"); the script adds what it needs.
    QProcessEnvironment environment() const;
    static bool noSoundCard();

    // Shell functions every script has: acknowledge_audio waits for the studio's "No audio
    // output" alert where the machine has no sound card, and acknowledges it.
    static const char* const shellHelpers;

    // Runs `script` (after shellHelpers) with bash under xvfb-run, its working directory the private home.
    // Bounded by `timeoutMs`; a run that does not end is killed.
    Run runScript(const QString& script, const QProcessEnvironment& environment, int timeoutMs = 90000);

    TemporaryDirectory root;
    QString xvfbRun;
};

}  // namespace norvo::test
