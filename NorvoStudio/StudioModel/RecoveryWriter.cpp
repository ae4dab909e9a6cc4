#include "StudioModel/RecoveryWriter.hpp"

#include <pthread.h>

#include <cstdio>
#include <set>
#include <string_view>
#include <system_error>

#include "AudioEngine/TapeMedia.hpp"
#include "Platform/FileReplacement.hpp"

namespace norvo {

namespace {

// FNV-1a over the bytes: names a stored image after its content.
std::string contentName(const FileData& data) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t byte : data.span()) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    char name[48];
    std::snprintf(name, sizeof name, "%016llx-%zu", static_cast<unsigned long long>(hash), data.size());
    return name;
}

// Written aside and renamed into place: whoever reads `file` finds the old bytes or the
// new ones, never a part. Not synced: the copy has to outlive the process, not the
// machine, as the audio it describes lives in the page cache too until the system writes it.
bool replaceFile(const std::filesystem::path& file, std::string_view bytes) {
    const FileReplacement replacement{
        .temporary = file.string() + ".partial",
        .mode = 0600,
        .refusesLink = true,
        .durable = false,
    };
    return replacement.write(file, bytes) == 0;
}

}  // namespace

RecoveryWriter::RecoveryWriter(const Clock& clock) : clock_(clock) {
    worker_ = std::thread([this] { run(); });
}

RecoveryWriter::~RecoveryWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void RecoveryWriter::write(const std::filesystem::path& workspace, RecoveryCopy copy) {
    {
        std::lock_guard lock(mutex_);
        // Only the newest copy matters: it takes the place of one still waiting last.
        Write* waiting = jobs_.empty() ? nullptr : std::get_if<Write>(&jobs_.back());
        if (waiting && waiting->workspace == workspace) waiting->copy = std::move(copy);
        else jobs_.push_back(Write{workspace, std::move(copy)});
    }
    wake_.notify_all();
}

void RecoveryWriter::discard(const std::filesystem::path& workspace) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(Discard{workspace});
    }
    wake_.notify_all();
}

void RecoveryWriter::retire(std::shared_ptr<TapeMedia> media) {
    if (!media) return;
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(Retire{std::move(media)});
    }
    wake_.notify_all();
}

void RecoveryWriter::flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

uint64_t RecoveryWriter::copiesWritten() const {
    std::lock_guard lock(mutex_);
    return written_;
}

void RecoveryWriter::run() {
    pthread_setname_np(pthread_self(), "norvo-recovery");
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) return;  // stopping, with nothing left
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        perform(job);
        job = Discard{};  // a retired media is let go here, outside the lock
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
}

void RecoveryWriter::perform(Job& job) {
    if (auto* write = std::get_if<Write>(&job)) {
        writeCopy(write->workspace, write->copy);
    } else if (auto* discard = std::get_if<Discard>(&job)) {
        removeCopy(discard->workspace);
    } else if (auto* retire = std::get_if<Retire>(&job)) {
        if (retire->media) removeCopy(retire->media->directory());
        retire->media.reset();
    }
}

void RecoveryWriter::writeCopy(const std::filesystem::path& workspace, RecoveryCopy& copy) {
    std::error_code ec;
    // A workspace that is gone (removed meanwhile) gets no copy.
    if (!std::filesystem::is_directory(workspace, ec)) return;
    std::filesystem::create_directory(workspace / RecoveryCopy::folderName, ec);
    copy.savedAt = clock_.now();

    auto& known = stored_[workspace];
    std::map<const uint8_t*, Stored> named;
    bool complete = true;
    const std::string text = RecoveryCopy::encode(copy, [&](const FileData& data) {
        if (auto it = known.find(data.data()); it != known.end() && it->second.data == data) {
            named.emplace(data.data(), it->second);
            return it->second.name;
        }
        const std::string name = contentName(data);
        const std::filesystem::path file = workspace / RecoveryCopy::folderName / name;
        std::error_code exists;
        if (!std::filesystem::exists(file, exists) && !replaceFile(file, data.text())) complete = false;
        named.emplace(data.data(), Stored{data, name});
        return name;
    });
    // A copy naming images that are not there would not read back: the last whole one stays.
    if (!complete || !replaceFile(workspace / RecoveryCopy::fileName, text)) return;
    known = std::move(named);
    {
        std::lock_guard lock(mutex_);
        ++written_;
    }

    // Images no longer named (replaced or removed from the cassette) go.
    std::set<std::string> names;
    for (const auto& [key, entry] : known) names.insert(entry.name);
    for (std::filesystem::directory_iterator it(workspace / RecoveryCopy::folderName, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code removeError;
        if (!names.count(it->path().filename().string())) std::filesystem::remove(it->path(), removeError);
    }
}

void RecoveryWriter::removeCopy(const std::filesystem::path& workspace) {
    stored_.erase(workspace);
    std::error_code ec;
    // The copy first: a workspace without it is never offered back, whatever is left of it.
    std::filesystem::remove(workspace / RecoveryCopy::fileName, ec);
    std::filesystem::remove_all(workspace / RecoveryCopy::folderName, ec);
}

}  // namespace norvo
