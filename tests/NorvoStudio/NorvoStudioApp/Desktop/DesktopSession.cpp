#include "DesktopSession.hpp"

#include <signal.h>

#include <QProcess>
#include <QStandardPaths>

#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Cassette/TapeFileCodec.hpp"

namespace norvo::test {

void DesktopSession::SetUp() {
    xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfbRun.isEmpty()) GTEST_SKIP() << "xvfb-run is not installed: this test needs a real X server";
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        << "xdotool is not installed (scripts/setup-deps installs it)";
    for (const char* name : {"home", "config", "data", "cache", "runtime", "music"})
        std::filesystem::create_directories(root.path() / name);
    std::filesystem::permissions(root.path() / "runtime", std::filesystem::perms::owner_all);
}

CassetteDocument DesktopSession::makeCassette(const std::string& name) {
    CassetteDocument document(CassetteType::c60(), name, CassetteStyleCatalog::defaultStyle().design);
    TapeMedia media(CassetteType::c60(), dir("cache") / "maker");
    TapeFileCodec::write(document, media, dir("music") / (name + ".norvo"));
    return document;
}

QProcessEnvironment DesktopSession::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // No locale, whatever the caller has: the POSIX locale of a fresh system, for the
    // studio and the tools that look at its windows alike.
    for (const QString& name : environment.keys())
        if (name == QLatin1String("LANG") || name == QLatin1String("LANGUAGE") || name.startsWith(QLatin1String("LC_")))
            environment.remove(name);
    environment.insert(QStringLiteral("HOME"), qdir("home"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), qdir("config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), qdir("data"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), qdir("cache"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), qdir("runtime"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("APP"), QStringLiteral(NORVO_STUDIO_BINARY));
    // Nothing that could play a sound is reachable: no PulseAudio or PipeWire server (the
    // private runtime folder holds no socket and the server addresses lead nowhere), no
    // JACK server. Without a sound card the studio then always says "No audio output".
    const QString nowhere = qdir("runtime") + QStringLiteral("/nowhere");
    environment.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + nowhere);
    environment.insert(QStringLiteral("PIPEWIRE_REMOTE"), nowhere);
    environment.insert(QStringLiteral("JACK_NO_START_SERVER"), QStringLiteral("1"));
    environment.insert(QStringLiteral("JACK_DEFAULT_SERVER"), QStringLiteral("nowhere"));
    environment.insert(QStringLiteral("NO_SOUND_CARD"), noSoundCard() ? QStringLiteral("1") : QStringLiteral("0"));
    return environment;
}

const char* const DesktopSession::shellHelpers = R"SH(
# Without a sound card the studio says "No audio output" soon after it starts (the device
# is tried off the main thread): wait for that alert of the studio "$app" and acknowledge it.
acknowledge_audio() {
  if [ "$NO_SOUND_CARD" = 1 ]; then
    local alert
    alert=$(timeout 15 xdotool search --sync --onlyvisible --all --pid "$app" --name '^No audio output$' | head -n 1)
    if [ -n "$alert" ]; then xdotool windowfocus --sync "$alert" key Return; fi
  fi
  return 0
}
)SH";

bool DesktopSession::noSoundCard() { return !std::filesystem::exists("/dev/snd"); }

DesktopSession::Run DesktopSession::runScript(const QString& script, const QProcessEnvironment& environment,
                                              int timeoutMs) {
    QProcess session;
    session.setProcessEnvironment(environment);
    session.setProcessChannelMode(QProcess::MergedChannels);
    session.setWorkingDirectory(qdir("home"));
    // In a session of its own, so that a run that does not end takes the studio and the X
    // server with it instead of leaving them behind.
    session.start(QStringLiteral("setsid"),
                  {xvfbRun, QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1600x1200x24"),
                   QStringLiteral("bash"), QStringLiteral("-c"), QString::fromUtf8(shellHelpers) + script});
    Run run;
    if (!session.waitForStarted(10000)) return run;
    run.finished = session.waitForFinished(timeoutMs);
    if (!run.finished && session.processId() > 0) ::kill(-pid_t(session.processId()), SIGKILL);
    session.waitForFinished(5000);
    run.output = QString::fromUtf8(session.readAll());
    return run;
}

}  // namespace norvo::test
