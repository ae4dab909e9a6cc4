// The studio in German, where numbers are written with a decimal comma, against the same
// session in the C locale: a cassette and a tape sound given on the command line, the sound
// brought into range (its alert names the range, "0.1…4"), the window, Ctrl+Q. The alert
// and the window are grabbed, and the settings file holds the imported sound: both runs
// show the same pixels and write the same settings, but for the times they were written.
// The tuner's band is set beforehand, and the C run has the German collation alone (which
// the station guide takes the home country from, offering "DE" beside "WORLD").
#include <langinfo.h>
#include <locale.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "DesktopSession.hpp"

namespace norvo {
namespace {

const char* const sessionScript = R"SH(
set -u
grab() {
  ffmpeg -hide_banner -loglevel error -nostdin -f x11grab -window_id "$1" -i "$DISPLAY" \
    -frames:v 1 -f rawvideo -pix_fmt rgb24 -y "$2"
}
"$APP" "$CASSETTE" "$SOUND" &
app=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Comma Mix$' | head -n 1)
adjusted=$(timeout 15 xdotool search --sync --onlyvisible --all --pid "$app" --name 'was adjusted$' | head -n 1)
if [ -n "$adjusted" ]; then
  sleep 0.5
  grab "$adjusted" "$HOME/adjusted.rgb"
  xdotool windowfocus --sync "$adjusted" key Return
fi
acknowledge_audio
# A moment for the alerts to go and the face to be drawn again.
sleep 1
grab "$win" "$HOME/window.rgb"
xdotool windowfocus --sync "$win" key --clearmodifiers ctrl+q
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "still running after Ctrl+Q"; kill "$app"; fi
wait "$app"
echo "exit: $?"
)SH";

// The wow's rate is out of its range of 0.1 to 4 Hz; the other values have fractions.
const char* const sound = R"({"name": "Comma", "id": "org.example.comma", "format": "NORVO-Sound",
  "format_version": "1.0", "tape": {"wow": {"rate_hz": 9, "depth_percent": 0.35},
  "flutter": {"depth_percent": 0.125, "rate_hz": 7.5}, "hiss": {"level_db": -62.5}}})";

class DecimalCommaSessionTest : public test::DesktopSession {
protected:
    struct Session {
        Run run;
        QByteArray adjusted, window;  // the grabs
        QJsonObject settings;
    };

    // One session in a fresh home with the locale variables given.
    Session session(const std::vector<std::pair<QString, QString>>& locale) {
        for (const char* name : {"config", "data", "cache"}) {
            std::filesystem::remove_all(dir(name));
            std::filesystem::create_directories(dir(name));
        }
        std::filesystem::create_directories(settingsFile().parent_path());
        QFile settings(QString::fromStdString(settingsFile().string()));
        if (!settings.open(QIODevice::WriteOnly)) return {};
        settings.write(R"({"RO-01.band": "{\"top\":{}}"})");
        settings.close();
        QProcessEnvironment environment = this->environment();
        for (const auto& [name, value] : locale) environment.insert(name, value);
        environment.insert(QStringLiteral("CASSETTE"), qdir("music") + QStringLiteral("/Comma Mix.norvo"));
        environment.insert(QStringLiteral("SOUND"), qdir("music") + QStringLiteral("/Comma.nvsound"));
        Session result;
        result.run = runScript(QString::fromUtf8(sessionScript), environment);
        result.adjusted = contents(qdir("home") + QStringLiteral("/adjusted.rgb"));
        result.window = contents(qdir("home") + QStringLiteral("/window.rgb"));
        result.settings =
            withoutTimes(QJsonDocument::fromJson(contents(QString::fromStdString(settingsFile().string()))).object());
        std::filesystem::remove(dir("home") / "adjusted.rgb");
        std::filesystem::remove(dir("home") / "window.rgb");
        return result;
    }

    // The settings with the time each tape position was saved left out.
    static QJsonObject withoutTimes(QJsonObject settings) {
        for (auto entry = settings.begin(); entry != settings.end(); ++entry) {
            QJsonObject value = QJsonDocument::fromJson(entry.value().toString().toUtf8()).object();
            if (!value.contains(QStringLiteral("savedAt"))) continue;
            value.remove(QStringLiteral("savedAt"));
            *entry = QString::fromUtf8(QJsonDocument(value).toJson(QJsonDocument::Compact));
        }
        return settings;
    }

    static QByteArray contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(DecimalCommaSessionTest, InGermanTheStudioShowsAndWritesNumbersAsInC) {
    // Without the locale the studio would quietly run in C, and this test would prove nothing.
    const locale_t installed = ::newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr);
    ASSERT_NE(installed, locale_t(nullptr)) << "the locale de_DE.UTF-8 is not installed (scripts/setup-deps makes it)";
    const std::string decimalPoint = ::nl_langinfo_l(RADIXCHAR, installed);
    ::freelocale(installed);
    ASSERT_EQ(decimalPoint, ",");

    makeCassette("Comma Mix");
    {
        QFile file(qdir("music") + QStringLiteral("/Comma.nvsound"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(sound);
    }

    const QString de = QStringLiteral("de_DE.UTF-8");
    const Session c = session({{QStringLiteral("LC_COLLATE"), de}});
    const Session german = session({{QStringLiteral("LANG"), de}});
    for (const Session* run : std::initializer_list<const Session*>{&c, &german}) {
        const std::string output = run->run.output.toStdString();
        ASSERT_TRUE(run->run.finished) << "the session did not end:\n" << output;
        EXPECT_TRUE(run->run.output.contains(QStringLiteral("exit: 0\n"))) << output;
        ASSERT_FALSE(run->adjusted.isEmpty()) << "no alert that the sound was adjusted:\n" << output;
        ASSERT_FALSE(run->window.isEmpty()) << output;
    }

    EXPECT_TRUE(c.adjusted == german.adjusted) << "the alert with the sound's range reads otherwise in German";
    EXPECT_TRUE(c.window == german.window) << "the window shows otherwise in German";
    const QString imported = QStringLiteral("NorvoStudio.tapeSound.imported");
    ASSERT_TRUE(c.settings.contains(imported)) << QJsonDocument(c.settings).toJson().toStdString();
    EXPECT_EQ(c.settings, german.settings) << QJsonDocument(c.settings).toJson().toStdString() << "\nin German:\n"
                                           << QJsonDocument(german.settings).toJson().toStdString();
}

}  // namespace
}  // namespace norvo
