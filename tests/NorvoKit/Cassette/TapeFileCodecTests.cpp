#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/AacSideEncoder.hpp"
#include "Cassette/CassetteFileError.hpp"
#include "Cassette/ManifestCodec.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "Cassette/ZipArchiveReader.hpp"
#include "CassetteFixtures.hpp"
#include "Platform/Iso8601.hpp"
#include "Support/Fifo.hpp"
#include "Support/SmallDisk.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using namespace test;

constexpr int64_t sideAFrames = 3 * 44100;  // the whole side
constexpr int64_t sideBFrames = 50000;
constexpr int64_t clickA = 70001;
constexpr int64_t clickB = 12345;
constexpr double toneA = 440;
constexpr double toneB = 220;

class TapeFileCodecTest : public testing::Test {
protected:
    void SetUp() override {
        media = std::make_shared<TapeMedia>(shortType(), directory / "workspaces");
        recordTone(*media, TapeSide::a, sideAFrames, clickA, toneA);
        recordTone(*media, TapeSide::b, sideBFrames, clickB, toneB);
    }

    TapeFileCodec::ReadResult readBack(const std::filesystem::path& file) {
        return TapeFileCodec::read(file, {}, mediaFactory(directory / "opened"));
    }

    FileData entry(const std::filesystem::path& file, const std::string& name) {
        const auto zip = ZipArchiveReader::open(file);
        return *zip->read(*zip->find(name), uint64_t{1} << 32);
    }

    std::vector<std::string> entryNames(const std::filesystem::path& file) {
        std::vector<std::string> names;
        const auto zip = ZipArchiveReader::open(file);
        for (const auto& entry : zip->entries()) names.push_back(entry.name);
        return names;
    }

    TemporaryDirectory directory;
    std::shared_ptr<TapeMedia> media;
    CassetteDocument document = fullDocument();
};

TEST_F(TapeFileCodecTest, RoundTripKeepsTheDocumentAndTheAudioInPlace) {
    const auto file = directory / "summer.norvo";
    const Date before = wholeSeconds(std::chrono::system_clock::now());
    TapeFileCodec::write(document, *media, file);
    EXPECT_FALSE(media->isDirty());

    auto [read, opened] = readBack(file);
    EXPECT_GE(read.modifiedAt, before);
    read.modifiedAt = document.modifiedAt;
    EXPECT_EQ(read, document);

    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->used(TapeSide::a), sideAFrames);
    EXPECT_EQ(opened->used(TapeSide::b), sideBFrames);
    EXPECT_FALSE(opened->isDirty());
    EXPECT_NEAR(findClick(*opened, TapeSide::a, sideAFrames, toneA), clickA, 2);
    EXPECT_NEAR(findClick(*opened, TapeSide::b, sideBFrames, toneB), clickB, 2);
}

TEST_F(TapeFileCodecTest, EntriesAreInTheirOrderWithTheirCompression) {
    const auto file = directory / "layout.norvo";
    TapeFileCodec::write(document, *media, file);
    const std::vector<std::string> expected{"mimetype",
                                            "audio/side-a.m4a",
                                            "audio/side-b.m4a",
                                            "artwork/cassette_face_a.png",
                                            "artwork/cassette_face_b.jpg",
                                            "artwork/label_a.png",
                                            "artwork/label_b.jpg",
                                            "artwork/jcard_front.png",
                                            "artwork/jcard_spine.jpg",
                                            "artwork/jcard_flap.png",
                                            "artwork/thumbnail.jpg",
                                            "artwork/booklet-01.png",
                                            "artwork/booklet-02.jpg",
                                            "extras/liner-notes.txt",
                                            "manifest.json"};
    EXPECT_EQ(entryNames(file), expected);

    int error = 0;
    zip_t* archive = zip_open(file.c_str(), ZIP_RDONLY, &error);
    ASSERT_NE(archive, nullptr);
    auto method = [&](const char* name) {
        zip_stat_t stat;
        zip_stat(archive, name, 0, &stat);
        return stat.comp_method;
    };
    EXPECT_EQ(method("mimetype"), ZIP_CM_STORE);
    EXPECT_EQ(method("audio/side-a.m4a"), ZIP_CM_STORE);
    EXPECT_EQ(method("audio/side-b.m4a"), ZIP_CM_STORE);
    EXPECT_EQ(method("manifest.json"), ZIP_CM_DEFLATE);
    zip_discard(archive);

    // "mimetype" can be read at a fixed offset: the first local header, no extra field.
    const std::string bytes = readFileBytes(file);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4));
    EXPECT_EQ(bytes[26] | bytes[27] << 8, 8);  // name length
    EXPECT_EQ(bytes[28] | bytes[29] << 8, 0);  // extra field length
    EXPECT_EQ(bytes.substr(30, 8), "mimetype");
    EXPECT_EQ(bytes.substr(38, 30), "application/vnd.norvo.cassette");

    const auto manifest = JSONValue::parse(entry(file, "manifest.json").text());
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->find("sides")->find("b")->find("frames")->integer(), sideBFrames);
}

TEST_F(TapeFileCodecTest, BlankSidesHaveNoAudioEntries) {
    auto blank = std::make_shared<TapeMedia>(shortType(), directory / "workspaces");
    const auto file = directory / "blank.norvo";
    TapeFileCodec::write(CassetteDocument(shortType(), "", CassetteDesign{}), *blank, file);
    EXPECT_EQ(entryNames(file), (std::vector<std::string>{"mimetype", "manifest.json"}));
    auto [read, opened] = readBack(file);
    EXPECT_EQ(opened->used(TapeSide::a), 0);
    EXPECT_EQ(opened->used(TapeSide::b), 0);
}

TEST_F(TapeFileCodecTest, StandardToolsAcceptTheFile) {
    const auto file = directory / "tools.norvo";
    TapeFileCodec::write(document, *media, file);

    const auto python = runCommand("python3 -m zipfile -t '" + file.string() + "'");
    EXPECT_EQ(python.status, 0) << python.output;
    const auto unzip = runCommand("unzip -t '" + file.string() + "'");
    EXPECT_EQ(unzip.status, 0) << unzip.output;
    EXPECT_NE(unzip.output.find("No errors detected"), std::string::npos) << unzip.output;

    for (const char* side : {"audio/side-a.m4a", "audio/side-b.m4a"}) {
        const auto m4a = directory / "side.m4a";
        const FileData audio = entry(file, side);
        writeFileBytes(m4a, std::string(audio.text()));
        const auto probe = runCommand(
            "ffprobe -v error -show_entries stream=codec_name,profile,sample_rate,channels -of compact=p=0:nk=0 '" +
            m4a.string() + "'");
        EXPECT_EQ(probe.status, 0) << probe.output;
        EXPECT_NE(probe.output.find("codec_name=aac|profile=LC|sample_rate=44100|channels=2"), std::string::npos)
            << probe.output;
    }
}

TEST_F(TapeFileCodecTest, SavingAgainWithoutRecordingCopiesTheAudio) {
    const auto first = directory / "first.norvo";
    const auto second = directory / "second.norvo";
    TapeFileCodec::write(document, *media, first);
    TapeFileCodec::write(document, *media, second);
    for (const char* name : {"audio/side-a.m4a", "audio/side-b.m4a"})
        EXPECT_EQ(entry(first, name), entry(second, name));

    // What the workspace says of its encoded audio is not waited for when it never ends.
    const auto state = media->directory() / "encoded-side-a.state";
    ASSERT_TRUE(std::filesystem::remove(state));
    const test::Fifo fifo(state);
    EXPECT_TRUE(fifo.returnsPromptly([&] { TapeFileCodec::write(document, *media, directory / "third.norvo"); }));
}

TEST_F(TapeFileCodecTest, AnOpenedCassetteIsSavedWithoutEncodingItsAudioAgain) {
    const auto original = directory / "original.norvo";
    TapeFileCodec::write(document, *media, original);
    auto [read, opened] = readBack(original);

    // Decoding and encoding again would change the bytes (and the sound); a copy does not.
    const auto resaved = directory / "resaved.norvo";
    TapeFileCodec::write(read, *opened, resaved);
    for (const char* name : {"audio/side-a.m4a", "audio/side-b.m4a"})
        EXPECT_EQ(entry(original, name), entry(resaved, name));

    // Recording on side B afterwards encodes side B only.
    recordTone(*opened, TapeSide::b, sideBFrames, clickB + 1000, toneB);
    EXPECT_TRUE(opened->isDirty(TapeSide::b));
    const auto recorded = directory / "recorded.norvo";
    TapeFileCodec::write(read, *opened, recorded);
    EXPECT_EQ(entry(original, "audio/side-a.m4a"), entry(recorded, "audio/side-a.m4a"));
    EXPECT_NE(entry(original, "audio/side-b.m4a"), entry(recorded, "audio/side-b.m4a"));
    EXPECT_FALSE(opened->isDirty());

    auto [again, reopened] = readBack(recorded);
    EXPECT_NEAR(findClick(*reopened, TapeSide::b, sideBFrames, toneB), clickB + 1000, 2);
}

TEST_F(TapeFileCodecTest, ASideRecordedDuringTheWriteStaysDirty) {
    const auto file = directory / "busy.norvo";
    bool recorded = false;
    TapeFileCodec::write(document, *media, file, [&](double) {
        if (recorded) return;
        recorded = true;
        media->noteWritten(TapeSide::a, sideAFrames);
    });
    ASSERT_TRUE(recorded);
    EXPECT_TRUE(media->isDirty(TapeSide::a));
    EXPECT_FALSE(media->isDirty(TapeSide::b));
}

TEST_F(TapeFileCodecTest, ProgressRisesToOne) {
    std::vector<double> writes;
    std::vector<double> reads;
    const auto file = directory / "progress.norvo";
    TapeFileCodec::write(document, *media, file, [&](double f) { writes.push_back(f); });
    TapeFileCodec::read(
        file, [&](double f) { reads.push_back(f); }, mediaFactory(directory / "opened"));
    for (const auto* list : {&writes, &reads}) {
        ASSERT_FALSE(list->empty());
        EXPECT_TRUE(std::is_sorted(list->begin(), list->end()));
        EXPECT_GE(list->front(), 0.0);
        EXPECT_DOUBLE_EQ(list->back(), 1.0);
    }
}

TEST_F(TapeFileCodecTest, ADeflatedAudioEntryIsDecodedToo) {
    const auto file = directory / "deflated.norvo";
    TapeFileCodec::write(document, *media, file);
    int error = 0;
    zip_t* archive = zip_open(file.c_str(), 0, &error);
    ASSERT_NE(archive, nullptr);
    const zip_int64_t index = zip_name_locate(archive, "audio/side-a.m4a", 0);
    ASSERT_EQ(zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9), 0);
    ASSERT_EQ(zip_close(archive), 0);

    auto [read, opened] = readBack(file);
    EXPECT_EQ(opened->used(TapeSide::a), sideAFrames);
    EXPECT_NEAR(findClick(*opened, TapeSide::a, sideAFrames, toneA), clickA, 2);
}

TEST_F(TapeFileCodecTest, ReadsFromMemoryAsFromAFile) {
    const auto file = directory / "memory.norvo";
    TapeFileCodec::write(document, *media, file);
    auto fromFile = readBack(file);
    auto fromMemory = TapeFileCodec::read(FileData(readFileBytes(file)), {}, mediaFactory(directory / "opened"));
    EXPECT_EQ(fromMemory.document, fromFile.document);
    EXPECT_EQ(fromMemory.media->used(TapeSide::b), sideBFrames);
}

TEST_F(TapeFileCodecTest, CarriedEntriesNeverReplaceTheCassettesOwn) {
    document.carriedEntries.push_back({"audio/side-a.m4a", FileData(std::string_view("stale audio"))});
    const auto file = directory / "carried.norvo";
    TapeFileCodec::write(document, *media, file);
    const auto names = entryNames(file);
    EXPECT_EQ(std::count(names.begin(), names.end(), "audio/side-a.m4a"), 1);
    EXPECT_NE(entry(file, "audio/side-a.m4a").text(), "stale audio");
    EXPECT_EQ(entry(file, "extras/liner-notes.txt").text(), "Recorded in one take.");
}

TEST_F(TapeFileCodecTest, ATypeThatDoesNotMatchTheTapeIsRefused) {
    document.type = CassetteType::c60();
    EXPECT_THROW(TapeFileCodec::write(document, *media, directory / "wrong.norvo"), CassetteFileError);
    EXPECT_FALSE(std::filesystem::exists(directory / "wrong.norvo"));
}

TEST_F(TapeFileCodecTest, AFileNameOfTheLongestLengthIsWritten) {
    // 255 bytes, as long as a name can be; the temporary file beside it must still fit.
    const auto file = directory / (std::string(249, 'x') + ".norvo");
    TapeFileCodec::write(document, *media, file);
    EXPECT_EQ(readBack(file).document.name, document.name);
}

// A file the reader would refuse is never written: the user keeps the cassette and is told why.
void expectNotWritten(const CassetteDocument& document, TapeMedia& media, const std::filesystem::path& file,
                      const std::string& reason) {
    try {
        TapeFileCodec::write(document, media, file);
        ADD_FAILURE() << "written";
    } catch (const CassetteFileError& error) {
        EXPECT_EQ(error.what(), "The cassette could not be written: " + reason);
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(media.isDirty());
}

TEST_F(TapeFileCodecTest, ArtworkTheReaderWouldRefuseIsNotWritten) {
    // Two images of 33 MiB: each fine, together over what a cassette may hold.
    const FileData large(std::vector<uint8_t>(std::size_t{33} << 20, 0x42));
    document.artwork[ArtworkRole::jcardFront] = large;
    document.bookletPanels = {large};
    expectNotWritten(document, *media, directory / "heavy.norvo",
                     "its artwork and booklet panels come to more than 64 MiB.");
}

// The manifest of a blank short cassette whose notes make it exactly `bytes` long on one line.
std::string manifestOfSize(std::size_t bytes) {
    JSONValue manifest = ManifestCodec::encode(CassetteDocument(shortType(), "Hand made", CassetteDesign{}), {});
    manifest["notes"] = std::string();
    const std::size_t shell = manifest.compact().size();
    manifest["notes"] = std::string(bytes - shell, 'n');
    return manifest.compact();
}

TEST_F(TapeFileCodecTest, AManifestOfExactly1MiBOpensAndOneByteMoreIsRefused) {
    const auto exact = directory / "exact.norvo";
    const std::string text = manifestOfSize(1048576);
    ASSERT_EQ(text.size(), 1048576u);
    writeFileBytes(exact, buildZip({RawZipEntry("mimetype", TapeFileCodec::mimeType),
                                    RawZipEntry("manifest.json", text, RawZipEntry::Method::deflated)}));
    auto [read, opened] = readBack(exact);
    EXPECT_EQ(read.notes, *JSONValue::parse(text)->find("notes")->string());
    // Made as the writer makes it, it also saves back and opens again.
    const auto saved = directory / "saved.norvo";
    TapeFileCodec::write(read, *opened, saved);
    EXPECT_LE(entry(saved, "manifest.json").size(), 1048576u);
    EXPECT_EQ(readBack(saved).document.notes, read.notes);

    const auto over = directory / "over.norvo";
    writeFileBytes(over,
                   buildZip({RawZipEntry("mimetype", TapeFileCodec::mimeType),
                             RawZipEntry("manifest.json", manifestOfSize(1048577), RawZipEntry::Method::deflated)}));
    try {
        readBack(over);
        ADD_FAILURE() << "opened";
    } catch (const CassetteFileError& error) {
        EXPECT_STREQ(error.what(), "The cassette manifest is larger than 1 MiB.");
    }
}

TEST_F(TapeFileCodecTest, TheManifestIsStoredOnOneLineSoThatADocumentNearTheLimitStillSaves) {
    // Indented, this document's manifest is over the limit; on one line it is not.
    document.notes = std::string();
    CassetteDocument probe = document;
    TapeFileCodec::write(probe, *media, directory / "probe.norvo");
    const std::size_t shell = entry(directory / "probe.norvo", "manifest.json").size();
    document.notes = std::string(TapeFileCodec::maximumManifestBytes - shell - 16, 'n');
    const auto file = directory / "long-notes.norvo";
    TapeFileCodec::write(document, *media, file);

    const FileData stored = entry(file, "manifest.json");
    EXPECT_LE(stored.size(), TapeFileCodec::maximumManifestBytes);
    EXPECT_EQ(std::count(stored.text().begin(), stored.text().end(), '\n'), 0) << "no indentation, no lines";
    const auto manifest = JSONValue::parse(stored.text());
    ASSERT_TRUE(manifest);
    ASSERT_GT(manifest->serialized().size(), TapeFileCodec::maximumManifestBytes);
    EXPECT_EQ(stored.text(), manifest->compact()) << "keys sorted, slashes as they are";
    EXPECT_EQ(readBack(file).document.notes, document.notes);
}

TEST_F(TapeFileCodecTest, ADocumentWhoseManifestCannotFitIsRefusedBeforeAnythingIsEncodedAndTheOldFileIsKept) {
    const auto file = directory / "wordy.norvo";
    TapeFileCodec::write(document, *media, file);
    const std::string before = readFileBytes(file);
    recordTone(*media, TapeSide::b, sideBFrames, clickB, toneB);
    document.notes = std::string(TapeFileCodec::maximumManifestBytes, 'n');
    const auto filesBeside = [&] {
        std::size_t files = 0;
        for (const auto& item : std::filesystem::directory_iterator(directory.path())) files += item.is_regular_file();
        return files;
    };
    // Any report means work was done; any file beside the old one, that audio was staged.
    int reports = 0;
    std::size_t mostFiles = 1;
    const auto watch = [&](double) {
        ++reports;
        mostFiles = std::max(mostFiles, filesBeside());
    };
    try {
        TapeFileCodec::write(document, *media, file, watch);
        ADD_FAILURE() << "written";
    } catch (const CassetteFileError& error) {
        EXPECT_STREQ(error.what(), "The cassette could not be written: its manifest would be larger than 1 MiB.");
    }
    EXPECT_EQ(readFileBytes(file), before);
    EXPECT_TRUE(media->isDirty(TapeSide::b));
    EXPECT_EQ(filesBeside(), 1u) << "nothing staged for the save is left beside it";
    EXPECT_EQ(mostFiles, 1u) << "no side was staged for encoding";
    EXPECT_EQ(reports, 0) << "refused before any work";
}

TEST_F(TapeFileCodecTest, ASaveSweepsWhatAKilledSaveLeftInTheFolder) {
    // A process that is gone by now.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    ASSERT_GT(gone, 0);
    waitpid(gone, nullptr, 0);
    const std::string dead = ".norvo-" + std::to_string(gone) + "-0A1B2C3D.partial";
    const std::string alive = ".norvo-" + std::to_string(getppid()) + "-0A1B2C3D.partial";
    const std::string recent = ".norvo-" + std::to_string(gone) + "-99999999.partial";
    const std::vector<std::string> kept{alive, recent, ".norvo-notes.partial", "mine.partial", dead + ".old"};
    const std::vector<std::string> swept{dead, dead + ".Xy12Zq"};  // ours, and the ZIP library's
    const auto folder = directory / "shelf";
    std::filesystem::create_directories(folder);
    const auto hourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& names : {kept, swept}) {
        for (const auto& name : names) {
            writeFileBytes(folder / name, "leftover");
            if (name != recent) std::filesystem::last_write_time(folder / name, hourAgo);
        }
    }

    TapeFileCodec::write(document, *media, folder / "tape.norvo");
    for (const auto& name : swept) EXPECT_FALSE(std::filesystem::exists(folder / name)) << name;
    for (const auto& name : kept) EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++files;
    EXPECT_EQ(files, kept.size() + 1);  // and the save's own temporary file is gone
}

TEST(TapeFileCodecNames, ImageExtensionFollowsTheJPEGSignature) {
    EXPECT_EQ(TapeFileCodec::imageExtension(FileData(std::string_view("\xFF\xD8\xFF\xDB rest"))), "jpg");
    EXPECT_EQ(TapeFileCodec::imageExtension(FileData(std::string_view("\xFF\xD8"))), "png");
    EXPECT_EQ(TapeFileCodec::imageExtension(FileData()), "png");
}

// ---- failing writes leave the previous file as it was ----

class FailingWrite : public TapeFileCodecTest {
protected:
    void SetUp() override {
        TapeFileCodecTest::SetUp();
        folder = directory / "target";
        std::filesystem::create_directories(folder);
        target = folder / "keep.norvo";
        TapeFileCodec::write(document, *media, target);
        previous = readFileBytes(target);
        // Something to encode again, so the failure can hit the encoder as well as the archive.
        recordTone(*media, TapeSide::a, sideAFrames, clickA, toneA);
    }

    void expectPreviousFileIntact() {
        EXPECT_EQ(readFileBytes(target), previous);
        std::vector<std::string> left;
        for (const auto& item : std::filesystem::directory_iterator(folder)) left.push_back(item.path().filename());
        EXPECT_EQ(left, std::vector<std::string>{"keep.norvo"});
    }

    std::filesystem::path folder;
    std::filesystem::path target;
    std::string previous;
};

// A file size limit stands in for a full disk: writes past it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(FailingWrite, DiskFullWhileEncoding) {
    {
        FileSizeLimit limit(16 * 1024);
        EXPECT_ANY_THROW(TapeFileCodec::write(document, *media, target));
    }
    expectPreviousFileIntact();
    EXPECT_TRUE(media->isDirty(TapeSide::a));
}

TEST_F(FailingWrite, DiskFullWhileWritingTheArchive) {
    // Encoded once elsewhere, so this save copies the audio and only the archive meets the limit.
    TapeFileCodec::write(document, *media, directory / "elsewhere.norvo");
    {
        FileSizeLimit limit(previous.size() / 2);
        try {
            TapeFileCodec::write(document, *media, target);
            ADD_FAILURE() << "written";
        } catch (const CassetteFileError& error) {
            EXPECT_EQ(error.kind(), CassetteFileError::Kind::writeFailed) << error.what();
        }
    }
    expectPreviousFileIntact();
}

TEST_F(FailingWrite, ReadOnlyFolder) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_THROW(TapeFileCodec::write(document, *media, target), CassetteFileError);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    expectPreviousFileIntact();
}

TEST_F(FailingWrite, TargetIsAFolder) {
    std::filesystem::create_directories(folder / "box.norvo" / "inside");
    EXPECT_THROW(TapeFileCodec::write(document, *media, folder / "box.norvo"), CassetteFileError);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "box.norvo" / "inside"));
    std::filesystem::remove_all(folder / "box.norvo");
    expectPreviousFileIntact();
}

// ---- a save needs room only where it writes ----

TEST_F(TapeFileCodecTest, AWorkspaceThatCannotBeWrittenToDoesNotStopASave) {
    // Nothing can be written where the workspace was, as on a full disk; the side files
    // stay mapped as they are.
    const auto workspace = media->directory();
    const auto moved = directory / "moved-workspace";
    std::filesystem::rename(workspace, moved);
    writeFileBytes(workspace, "not a folder");
    const auto shelf = directory / "shelf";
    std::filesystem::create_directories(shelf);
    TapeFileCodec::write(document, *media, shelf / "tape.norvo");
    EXPECT_FALSE(media->isDirty());
    std::filesystem::remove(workspace);
    std::filesystem::rename(moved, workspace);

    auto [read, opened] = readBack(shelf / "tape.norvo");
    EXPECT_NEAR(findClick(*opened, TapeSide::a, sideAFrames, toneA), clickA, 2);
    EXPECT_NEAR(findClick(*opened, TapeSide::b, sideBFrames, toneB), clickB, 2);
    std::vector<std::string> left;
    for (const auto& item : std::filesystem::directory_iterator(shelf)) left.push_back(item.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"tape.norvo"}) << "the staged audio went with the save";
}

TEST(TapeFileCodecFullDisk, TheEncoderAndTheReaderNameTheFolderThatIsFull) {
    TemporaryDirectory directory;
    const auto folder = directory / "Tapes";
    std::filesystem::create_directories(folder);
    const std::string full = "There is no space left in \u201C" + folder.string() + "\u201D.";
    // Every write to it fails as on a full disk.
    const auto fullFile = folder / "side.m4a";
    std::filesystem::create_symlink("/dev/full", fullFile);
    const std::vector<int16_t> frames(2 * 44100, 1000);
    try {
        AacSideEncoder::encode(frames.data(), 44100, fullFile);
        ADD_FAILURE() << "encoded";
    } catch (const CassetteFileError& error) {
        EXPECT_EQ(error.kind(), CassetteFileError::Kind::noSpace);
        EXPECT_EQ(std::string(error.what()), full);
    }
    EXPECT_FALSE(std::filesystem::is_symlink(fullFile)) << "what was begun is removed";

    // Opening a cassette streams its audio into the workspace.
    auto media = std::make_shared<TapeMedia>(shortType(), directory / "workspaces");
    recordTone(*media, TapeSide::a, 44100, 100, 440);
    TapeFileCodec::write(CassetteDocument(shortType(), "", CassetteDesign{}), *media, directory / "tape.norvo");
    const auto zip = ZipArchiveReader::open(directory / "tape.norvo");
    std::filesystem::create_symlink("/dev/full", fullFile);
    try {
        zip->extract(*zip->find("audio/side-a.m4a"), uint64_t{1} << 30, fullFile);
        ADD_FAILURE() << "extracted";
    } catch (const CassetteFileError& error) {
        EXPECT_EQ(std::string(error.what()), full);
    }
}

TEST_F(TapeFileCodecTest, OnRealSmallDisksASaveNeedsRoomOnlyWhereItWritesAndNamesTheOneThatIsFull) {
    SmallDisk cacheDisk(directory / "cache-disk", std::size_t{4} << 20);
    if (!cacheDisk.mounted()) GTEST_SKIP() << "small disks cannot be mounted here";
    auto cached = std::make_shared<TapeMedia>(shortType(), cacheDisk.path() / "Workspaces");
    recordTone(*cached, TapeSide::a, sideAFrames, clickA, toneA);
    recordTone(*cached, TapeSide::b, sideBFrames, clickB, toneB);
    cacheDisk.fill();
    TapeFileCodec::write(document, *cached, directory / "roomy.norvo");
    EXPECT_NEAR(findClick(*readBack(directory / "roomy.norvo").media, TapeSide::a, sideAFrames, toneA), clickA, 2);

    SmallDisk targetDisk(directory / "target-disk", std::size_t{64} << 10);
    ASSERT_TRUE(targetDisk.mounted());
    const std::string full = "There is no space left in \u201C" + targetDisk.path().string() + "\u201D.";
    // Full while the audio is encoded, and (with the audio encoded already) while the
    // archive is written.
    recordTone(*media, TapeSide::a, sideAFrames, clickA, toneA);
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        try {
            TapeFileCodec::write(document, *media, targetDisk.path() / "tape.norvo");
            ADD_FAILURE() << "written";
        } catch (const CassetteFileError& error) {
            EXPECT_EQ(std::string(error.what()), full);
        }
        EXPECT_TRUE(std::filesystem::is_empty(targetDisk.path()));
        TapeFileCodec::write(document, *media, directory / "encoded.norvo");
    }
}

TEST_F(FailingWrite, MissingFolder) {
    EXPECT_THROW(TapeFileCodec::write(document, *media, directory / "nowhere" / "x.norvo"), CassetteFileError);
    expectPreviousFileIntact();
}

}  // namespace
}  // namespace norvo
