#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>

#include "Platform/Clock.hpp"
#include "StudioModel/RecoveryCopy.hpp"

namespace norvo {

class TapeMedia;

// Writes the recovery copies of the loaded cassette's workspace behind the model, on a
// thread of its own, in the order they are handed over; a newer copy of a workspace
// replaces one still waiting at the end of the queue. A copy is written aside and
// renamed over the old one, so a workspace always holds a whole copy or none; images are
// written once each. The workspace of a cassette that leaves the deck loses its copy
// before it is removed.
class RecoveryWriter {
public:
    explicit RecoveryWriter(const Clock& clock = SystemClock::shared());
    // Finishes everything handed over.
    ~RecoveryWriter();
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    // The cassette in `workspace` has changes not saved: this is what it looks like now.
    void write(const std::filesystem::path& workspace, RecoveryCopy copy);
    // The cassette in `workspace` has nothing unsaved (any more): no copy.
    void discard(const std::filesystem::path& workspace);
    // The cassette left the deck: its copy goes, then this reference to its media, on the
    // writer's thread (when it is the last one, the workspace goes with it).
    void retire(std::shared_ptr<TapeMedia> media);
    // Waits until everything handed over so far is done.
    void flush();

    // How many copies have been written so far.
    uint64_t copiesWritten() const;

private:
    struct Write {
        std::filesystem::path workspace;
        RecoveryCopy copy;
    };
    struct Discard {
        std::filesystem::path workspace;
    };
    struct Retire {
        std::shared_ptr<TapeMedia> media;
    };
    using Job = std::variant<Write, Discard, Retire>;

    void run();
    void perform(Job& job);
    void writeCopy(const std::filesystem::path& workspace, RecoveryCopy& copy);
    void removeCopy(const std::filesystem::path& workspace);
    // The name under which `data` is stored in the workspace, writing it when new.
    std::string store(const std::filesystem::path& workspace, const FileData& data);

    const Clock& clock_;
    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<Job> jobs_;   // guarded by mutex_
    bool busy_ = false;      // guarded by mutex_: a job is being done
    bool stopping_ = false;  // guarded by mutex_
    uint64_t written_ = 0;   // guarded by mutex_

    // The writer's own: bytes already stored, by workspace, kept while they are named.
    struct Stored {
        FileData data;
        std::string name;
    };
    std::map<std::filesystem::path, std::map<const uint8_t*, Stored>> stored_;

    std::thread worker_;  // last: started once everything else is ready
};

}  // namespace norvo
