#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <future>
#include <thread>

#include "NorvoStudioApp/ApplicationLifetime.hpp"
#include "NorvoStudioApp/RecentDocuments.hpp"
#include "Support/Fifo.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

const QString cassetteType = QStringLiteral("application/vnd.norvo.cassette");
const QDateTime monday = QDateTime::fromString(QStringLiteral("2026-12-07T10:00:00Z"), Qt::ISODate);
const QDateTime tuesday = QDateTime::fromString(QStringLiteral("2026-12-08T11:30:00Z"), Qt::ISODate);

// What a reader of the list sees: per bookmark its times, MIME type and applications.
struct Bookmark {
    QString href, added, modified, visited, mimeType;
    std::map<QString, QString> applications;  // name -> "count@modified"
};

std::vector<Bookmark> read(const QString& file) {
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QXmlStreamReader in(&f);
    std::vector<Bookmark> bookmarks;
    while (!in.atEnd()) {
        if (in.readNext() != QXmlStreamReader::StartElement) continue;
        const auto a = in.attributes();
        if (in.name() == QLatin1String("bookmark") && in.namespaceUri().isEmpty()) {
            bookmarks.push_back({a.value("href").toString(),
                                 a.value("added").toString(),
                                 a.value("modified").toString(),
                                 a.value("visited").toString(),
                                 {},
                                 {}});
        } else if (in.name() == QLatin1String("mime-type")) {
            EXPECT_EQ(in.namespaceUri(), QLatin1String("http://www.freedesktop.org/standards/shared-mime-info"));
            bookmarks.back().mimeType = a.value("type").toString();
        } else if (in.name() == QLatin1String("application")) {
            EXPECT_EQ(in.namespaceUri(), QLatin1String("http://www.freedesktop.org/standards/desktop-bookmarks"));
            bookmarks.back().applications[a.value("name").toString()] =
                a.value("count").toString() + QLatin1Char('@') + a.value("modified").toString();
        }
    }
    EXPECT_FALSE(in.hasError()) << in.errorString().toStdString();
    return bookmarks;
}

QByteArray contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A list as another application left it: its own entry, with namespaces declared by prefix.
const QByteArray othersList = R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0"
      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info"
>
  <bookmark href="file:///home/u/notes.txt" added="2026-01-01T00:00:00.000000Z" modified="2026-01-02T00:00:00.000000Z" visited="2026-01-02T00:00:00.000000Z">
    <title>Notes &amp; more</title>
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="text/plain"/>
        <bookmark:groups><bookmark:group>Editors</bookmark:group></bookmark:groups>
        <bookmark:applications>
          <bookmark:application name="Text Editor" exec="&apos;editor %u&apos;" modified="2026-01-02T00:00:00.000000Z" count="3"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
  <bookmark href="file:///home/u/Mix%20Tape.norvo" added="2026-02-01T00:00:00.000000Z" modified="2026-02-01T00:00:00.000000Z" visited="2026-02-01T00:00:00.000000Z">
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="application/vnd.norvo.cassette"/>
        <bookmark:applications>
          <bookmark:application name="File Manager" exec="&apos;files %u&apos;" modified="2026-02-01T00:00:00.000000Z" count="1"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
</xbel>
)";

class RecentDocumentsTest : public ::testing::Test {
protected:
    QString list() const {
        return QString::fromStdString((directory.path() / "share" / "recently-used.xbel").string());
    }
    test::TemporaryDirectory directory;
};

TEST_F(RecentDocumentsTest, AFirstNoteCreatesAPrivateListWithTheDocument) {
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/home/u/Road Trip.norvo"));
    ASSERT_TRUE(RecentDocuments::note(list(), file, cassetteType, monday));
    const auto bookmarks = read(list());
    ASSERT_EQ(bookmarks.size(), 1u);
    EXPECT_EQ(bookmarks[0].href, "file:///home/u/Road%20Trip.norvo");
    EXPECT_EQ(bookmarks[0].mimeType, cassetteType);
    EXPECT_EQ(bookmarks[0].added, "2026-12-07T10:00:00.000Z");
    EXPECT_EQ(bookmarks[0].applications.at("Norvo Studio"), "1@2026-12-07T10:00:00.000Z");
    const auto permissions = QFile::permissions(list());
    EXPECT_TRUE(permissions.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_FALSE(permissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) << "the history is private";
}

TEST_F(RecentDocumentsTest, OthersEntriesAreKeptAndAnExistingEntryIsRefreshed) {
    QDir().mkpath(QFileInfo(list()).absolutePath());
    write(list(), othersList);
    const QUrl mix = QUrl::fromLocalFile(QStringLiteral("/home/u/Mix Tape.norvo"));
    const QUrl other = QUrl::fromLocalFile(QStringLiteral("/home/u/Other.norvo"));

    ASSERT_TRUE(RecentDocuments::note(list(), mix, cassetteType, monday));
    ASSERT_TRUE(RecentDocuments::note(list(), mix, cassetteType, tuesday));
    ASSERT_TRUE(RecentDocuments::note(list(), other, cassetteType, tuesday));

    const auto bookmarks = read(list());
    ASSERT_EQ(bookmarks.size(), 3u);
    EXPECT_EQ(bookmarks[0].href, "file:///home/u/notes.txt");
    EXPECT_EQ(bookmarks[0].modified, "2026-01-02T00:00:00.000000Z") << "another application's entry is untouched";
    EXPECT_EQ(bookmarks[0].applications.at("Text Editor"), "3@2026-01-02T00:00:00.000000Z");

    EXPECT_EQ(bookmarks[1].href, "file:///home/u/Mix%20Tape.norvo");
    EXPECT_EQ(bookmarks[1].added, "2026-02-01T00:00:00.000000Z");
    EXPECT_EQ(bookmarks[1].modified, "2026-12-08T11:30:00.000Z");
    EXPECT_EQ(bookmarks[1].visited, "2026-12-08T11:30:00.000Z");
    EXPECT_EQ(bookmarks[1].applications.at("File Manager"), "1@2026-02-01T00:00:00.000000Z");
    EXPECT_EQ(bookmarks[1].applications.at("Norvo Studio"), "2@2026-12-08T11:30:00.000Z");

    EXPECT_EQ(bookmarks[2].href, "file:///home/u/Other.norvo");
    EXPECT_EQ(bookmarks[2].applications.at("Norvo Studio"), "1@2026-12-08T11:30:00.000Z");

    const QByteArray text = contents(list());
    EXPECT_TRUE(text.contains("<title>Notes &amp; more</title>"));
    EXPECT_TRUE(text.contains("<bookmark:group>Editors</bookmark:group>"));
}

TEST_F(RecentDocumentsTest, AListThatCannotBeReadIsLeftAsItIsAndNotWaitedFor) {
    ASSERT_TRUE(RecentDocuments::note(list(), QUrl::fromLocalFile("/a.norvo"), cassetteType, monday));
    for (const QByteArray& damaged :
         {othersList.left(othersList.size() / 2), QByteArray("<html><body>not a list</body></html>")}) {
        write(list(), damaged);
        EXPECT_FALSE(RecentDocuments::note(list(), QUrl::fromLocalFile("/b.norvo"), cassetteType, tuesday));
        EXPECT_EQ(contents(list()), damaged);
    }

    // Nor is one that can never be read to its end (a list on a share that hangs).
    std::filesystem::remove(list().toStdString());
    const test::Fifo fifo(list().toStdString());
    EXPECT_TRUE(fifo.returnsPromptly([&] {
        EXPECT_FALSE(RecentDocuments::note(list(), QUrl::fromLocalFile("/b.norvo"), cassetteType, tuesday));
    }));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo.path()));
}

TEST_F(RecentDocumentsTest, ANoteLeftBehindPastTheApplicationsEndNotesNothing) {
    ASSERT_TRUE(RecentDocuments::note(list(), QUrl::fromLocalFile("/a.norvo"), cassetteType, monday));
    const QByteArray before = contents(list());
    const auto entry = RecentDocuments::entry(QUrl::fromLocalFile("/b.norvo"), cassetteType, tuesday);
    ApplicationLifetime lifetime;
    ASSERT_TRUE(RecentDocuments::note(list().toStdString(), entry, lifetime));
    EXPECT_EQ(read(list()).size(), 2u);
    write(list(), before);
    lifetime.end();
    EXPECT_FALSE(RecentDocuments::note(list().toStdString(), entry, lifetime));
    EXPECT_EQ(contents(list()), before);
}

TEST(ApplicationLifetime, EndingWaitsForAUseUnderWayAndNoUseBeginsAfter) {
    ApplicationLifetime lifetime;
    std::promise<void> using_;
    std::promise<void> release;
    std::thread user([&] {
        lifetime.use([&] {
            using_.set_value();
            release.get_future().wait();
        });
    });
    using_.get_future().wait();
    auto ended = std::async(std::launch::async, [&] { lifetime.end(); });
    EXPECT_EQ(ended.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    release.set_value();
    ended.wait();
    user.join();
    bool ran = false;
    EXPECT_FALSE(lifetime.use([&] { ran = true; }));
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace norvo
