#include "Platform/DefaultsStore.hpp"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "Support/Fifo.hpp"
#include "Support/ScopedEnvironment.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// Both stores behave alike for reading and writing typed values.
class DefaultsStoreContract : public ::testing::TestWithParam<bool> {
protected:
    test::TemporaryDirectory dir;
    std::unique_ptr<DefaultsStore> store =
        GetParam() ? std::unique_ptr<DefaultsStore>(std::make_unique<FileDefaultsStore>(dir / "defaults.json"))
                   : std::unique_ptr<DefaultsStore>(std::make_unique<InMemoryDefaultsStore>());
};

TEST_P(DefaultsStoreContract, ReadsBackEachTypeUnderItsKey) {
    store->setBool("RO-01.muting", true);
    store->setFloat("RO-01.volume", 0.35f);
    store->setNumber("NorvoStudio.position.x", 123456789.0);
    store->setString("NorvoStudio.tapeSound.selected", "clean");
    store->setData("RO-01.presets", R"([{"id":"a/b"}])");

    EXPECT_EQ(store->boolean("RO-01.muting"), true);
    EXPECT_EQ(store->floatValue("RO-01.volume"), 0.35f);
    EXPECT_EQ(store->number("NorvoStudio.position.x"), 123456789.0);
    EXPECT_EQ(store->string("NorvoStudio.tapeSound.selected"), "clean");
    EXPECT_EQ(store->data("RO-01.presets"), R"([{"id":"a/b"}])");
}

TEST_P(DefaultsStoreContract, MissingOrMistypedValuesReadAsNothing) {
    store->setString("RO-01.volume", "loud");
    EXPECT_EQ(store->floatValue("RO-01.volume"), std::nullopt);
    EXPECT_EQ(store->boolean("RO-01.volume"), std::nullopt);
    EXPECT_EQ(store->number("never.set"), std::nullopt);
    store->remove("RO-01.volume");
    EXPECT_EQ(store->string("RO-01.volume"), std::nullopt);
    store->remove("never.set");
}

INSTANTIATE_TEST_SUITE_P(DefaultsStore, DefaultsStoreContract, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "File" : "InMemory"; });

TEST(FileDefaultsStore, ValuesSurviveANewInstance) {
    test::TemporaryDirectory dir;
    const fs::path file = dir / "norvo-studio" / "defaults.json";
    {
        FileDefaultsStore store(file);
        store.setBool("RO-01.autoMemoryDone", true);
        store.setFloat("RO-01.volume", 0.5f);
        store.setString("RO-01.band", "country:DE");
        store.setData("NorvoStudio.tapeSound.imported", "[]");
        store.setString("gone", "x");
        store.remove("gone");
    }
    FileDefaultsStore again(file);
    EXPECT_EQ(again.boolean("RO-01.autoMemoryDone"), true);
    EXPECT_EQ(again.floatValue("RO-01.volume"), 0.5f);
    EXPECT_EQ(again.string("RO-01.band"), "country:DE");
    EXPECT_EQ(again.data("NorvoStudio.tapeSound.imported"), "[]");
    EXPECT_EQ(again.string("gone"), std::nullopt);
}

TEST(FileDefaultsStore, AFailedWriteLeavesThePreviousFileIntact) {
    test::TemporaryDirectory dir;
    const fs::path file = dir / "defaults.json";
    FileDefaultsStore store(file);
    store.setString("RO-01.lastStation", "first");
    ASSERT_TRUE(store.flush());
    const std::string before = contents(file);
    ASSERT_NE(before.find("first"), std::string::npos);

    // A folder where the temporary file would go: the write fails before the rename,
    // as a crash mid-write would leave things.
    const fs::path temporary = file.string() + ".tmp-" + std::to_string(::getpid());
    fs::create_directory(temporary);
    store.setString("RO-01.lastStation", "second");
    EXPECT_FALSE(store.flush());

    EXPECT_EQ(contents(file), before);
    EXPECT_EQ(store.string("RO-01.lastStation"), "second") << "the running app keeps the new value";
    EXPECT_EQ(FileDefaultsStore(file).string("RO-01.lastStation"), "first");

    fs::remove(temporary);
    store.setBool("RO-01.muting", false);
    EXPECT_TRUE(store.flush());
    FileDefaultsStore later(file);
    EXPECT_EQ(later.string("RO-01.lastStation"), "second");
    EXPECT_EQ(later.boolean("RO-01.muting"), false);
}

TEST(FileDefaultsStore, ABurstOfWritesIsCoalescedAndFlushedWhole) {
    test::TemporaryDirectory dir;
    const fs::path file = dir / "defaults.json";
    FileDefaultsStore store(file);
    // A volume knob dragged through a thousand values, as fast as events arrive.
    for (int i = 0; i <= 1000; ++i) {
        store.setFloat("RO-01.volume", float(i) / 1000.0f);
        EXPECT_EQ(store.floatValue("RO-01.volume"), float(i) / 1000.0f) << "reads answer from memory at once";
    }
    store.setString("RO-01.band", "country:DE");
    ASSERT_TRUE(store.flush());
    // The first change is written at once, the rest together; at most a few more if the
    // loop happened to straddle a write.
    EXPECT_LE(store.fileWrites(), 4u);
    EXPECT_GE(store.fileWrites(), 1u);

    FileDefaultsStore again(file);
    EXPECT_EQ(again.floatValue("RO-01.volume"), 1.0f);
    EXPECT_EQ(again.string("RO-01.band"), "country:DE");

    const uint64_t writes = store.fileWrites();
    EXPECT_TRUE(store.flush());
    store.setString("RO-01.band", "country:DE");
    EXPECT_TRUE(store.flush());
    EXPECT_EQ(store.fileWrites(), writes) << "nothing changed, nothing written";
}

std::string quoted(const fs::path& path) { return "\u201C" + path.string() + "\u201D"; }

TEST(FileDefaultsStore, UnreadableFilesAreKeptAsideEachUnderItsOwnNameAndTheResetIsTold) {
    test::TemporaryDirectory dir;
    const fs::path file = dir / "defaults.json";
    const std::vector<std::string> broken{"{\"RO-01.volume\": 0.2", "[1, 2]", "\xff\xfe garbage"};
    std::vector<fs::path> copies;
    for (const std::string& text : broken) {
        SCOPED_TRACE(text);
        std::ofstream(file, std::ios::binary) << text;
        FileDefaultsStore store(file);
        EXPECT_EQ(store.floatValue("RO-01.volume"), std::nullopt);
        const fs::path expected =
            file.string() + ".unreadable" + (copies.empty() ? "" : "-" + std::to_string(copies.size() + 1));
        ASSERT_EQ(store.keptAside(), expected);
        copies.push_back(expected);
        EXPECT_EQ(store.resetNotice(), "The settings file " + quoted(file) +
                                           " is damaged, so the studio started with its default settings. "
                                           "The old file was kept as " +
                                           quoted(expected) + ".");
        store.setFloat("RO-01.volume", 0.7f);
        ASSERT_TRUE(store.flush());
        EXPECT_EQ(FileDefaultsStore(file).floatValue("RO-01.volume"), 0.7f) << "a broken file is replaced";
    }
    for (std::size_t i = 0; i < broken.size(); ++i)
        EXPECT_EQ(contents(copies[i]), broken[i]) << "no copy kept aside replaces an earlier one";

    FileDefaultsStore good(file);
    EXPECT_EQ(good.floatValue("RO-01.volume"), 0.7f);
    EXPECT_EQ(good.resetNotice(), std::nullopt);
    EXPECT_EQ(good.keptAside(), std::nullopt);

    const fs::path empty = dir / "empty.json";
    std::ofstream(empty).flush();
    FileDefaultsStore fresh(empty);
    EXPECT_EQ(fresh.resetNotice(), std::nullopt) << "an empty file holds nothing to miss";
    fresh.setBool("RO-01.muting", true);
    ASSERT_TRUE(fresh.flush());
    EXPECT_EQ(fresh.keptAside(), std::nullopt);
    EXPECT_FALSE(fs::exists(empty.string() + ".unreadable")) << "and nothing to keep";

    EXPECT_EQ(FileDefaultsStore(dir / "never-written.json").resetNotice(), std::nullopt) << "a first start";
}

TEST(FileDefaultsStore, AFifoInPlaceOfTheFileIsSetAsideWithoutWaitingForAWriter) {
    test::TemporaryDirectory dir;
    const test::Fifo fifo(dir / "defaults.json");
    std::unique_ptr<FileDefaultsStore> store;
    ASSERT_TRUE(fifo.returnsPromptly([&] { store = std::make_unique<FileDefaultsStore>(fifo.path()); }));
    ASSERT_TRUE(store->keptAside());
    EXPECT_TRUE(fs::is_fifo(*store->keptAside()));
    EXPECT_EQ(store->resetNotice(), "The settings file " + quoted(fifo.path()) +
                                        " is not a regular file, so the studio started with its default settings. "
                                        "The old file was kept as " +
                                        quoted(*store->keptAside()) + ".");
    store->setBool("RO-01.muting", true);
    ASSERT_TRUE(store->flush());
    EXPECT_TRUE(fs::is_regular_file(fifo.path()));
    EXPECT_EQ(FileDefaultsStore(fifo.path()).boolean("RO-01.muting"), true);
}

// Reports collected from whichever thread makes them.
struct Reports {
    std::function<void(const std::string&)> collector() {
        return [this](const std::string& sentence) {
            std::lock_guard lock(mutex);
            sentences.push_back(sentence);
        };
    }
    std::vector<std::string> taken() {
        std::lock_guard lock(mutex);
        return sentences;
    }
    std::mutex mutex;
    std::vector<std::string> sentences;
};

TEST(FileDefaultsStore, AFolderInPlaceOfTheFileIsReportedOnceAndLeftAlone) {
    test::TemporaryDirectory dir;
    const fs::path file = dir / "defaults.json";
    fs::create_directories(file / "inside");
    Reports reports;
    FileDefaultsStore store(file);
    EXPECT_EQ(store.resetNotice(), std::nullopt);
    store.reportWriteFailure(reports.collector());
    for (int i = 0; i < 3; ++i) {
        store.setNumber("RO-01.volume", i / 10.0);
        EXPECT_FALSE(store.flush());
    }
    EXPECT_EQ(reports.taken(),
              std::vector<std::string>{"The studio cannot write its settings to " + quoted(file) +
                                       " (Is a directory). Changes to settings last only until you quit."});
    EXPECT_EQ(store.number("RO-01.volume"), 0.2) << "the running studio keeps the changes";
    EXPECT_TRUE(fs::is_directory(file / "inside"));
    store.reportWriteFailure({});
}

TEST(FileDefaultsStore, APathInTheSentencesIsEscaped) {
    test::TemporaryDirectory dir;
    const fs::path folder = dir / "a\u202Egnp.\nx";
    const std::string escaped = "\u201C" + dir.path().string() + "/a\\u202Egnp.\\x0Ax/";
    fs::create_directories(folder / "unwritable.json");
    std::ofstream(folder / "damaged.json") << "[]";
    EXPECT_EQ(FileDefaultsStore(folder / "damaged.json").resetNotice(),
              "The settings file " + escaped +
                  "damaged.json\u201D is damaged, so the studio started with its default "
                  "settings. The old file was kept as " +
                  escaped + "damaged.json.unreadable\u201D.");
    Reports reports;
    FileDefaultsStore store(folder / "unwritable.json");
    store.reportWriteFailure(reports.collector());
    store.setBool("RO-01.muting", true);
    EXPECT_FALSE(store.flush());
    ASSERT_EQ(reports.taken().size(), 1u);
    EXPECT_EQ(reports.taken()[0].rfind("The studio cannot write its settings to " + escaped + "unwritable.json\u201D (",
                                       0),
              0u);
    store.reportWriteFailure({});
}

TEST(FileDefaultsStore, AWriteThatFailedBeforeAnyoneListenedIsReportedOnceTheyDo) {
    test::TemporaryDirectory dir;
    const fs::path file = dir / "defaults.json";
    fs::create_directories(file);
    Reports reports;
    FileDefaultsStore store(file);
    store.setBool("RO-01.muting", true);
    EXPECT_FALSE(store.flush());
    EXPECT_FALSE(store.flush());
    store.reportWriteFailure(reports.collector());
    EXPECT_EQ(reports.taken().size(), 1u);
    store.setBool("RO-01.muting", false);
    EXPECT_FALSE(store.flush());
    EXPECT_EQ(reports.taken().size(), 1u) << "once per run";
    store.reportWriteFailure({});
}

TEST(FileDefaultsStore, StandardLocationIsInTheConfigHome) {
    test::ScopedEnvironment config("XDG_CONFIG_HOME", "/tmp/norvo-config");
    EXPECT_EQ(FileDefaultsStore::standardLocation(), fs::path("/tmp/norvo-config/norvo-studio/defaults.json"));
}

}  // namespace
}  // namespace norvo
