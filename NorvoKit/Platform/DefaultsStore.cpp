#include "Platform/DefaultsStore.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "Platform/FileReplacement.hpp"
#include "Platform/RegularFile.hpp"
#include "Platform/ShownName.hpp"
#include "Platform/XdgPaths.hpp"

namespace norvo {

std::optional<bool> DefaultsStore::boolean(const std::string& key) const {
    auto v = value(key);
    if (!v) return std::nullopt;
    if (auto b = std::get_if<bool>(&*v)) return *b;
    return std::nullopt;
}

std::optional<double> DefaultsStore::number(const std::string& key) const {
    auto v = value(key);
    if (!v) return std::nullopt;
    if (auto d = std::get_if<double>(&*v)) return *d;
    return std::nullopt;
}

std::optional<float> DefaultsStore::floatValue(const std::string& key) const {
    auto d = number(key);
    if (!d) return std::nullopt;
    return static_cast<float>(*d);
}

std::optional<std::string> DefaultsStore::string(const std::string& key) const {
    auto v = value(key);
    if (!v) return std::nullopt;
    if (auto s = std::get_if<std::string>(&*v)) return *s;
    return std::nullopt;
}

std::optional<DefaultsStore::Value> InMemoryDefaultsStore::value(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void InMemoryDefaultsStore::setValue(const std::string& key, const Value& value) {
    std::lock_guard lock(mutex_);
    values_[key] = value;
}

void InMemoryDefaultsStore::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    values_.erase(key);
}

FileDefaultsStore::FileDefaultsStore(std::filesystem::path file, std::chrono::milliseconds minimumInterval)
    : file_(std::move(file)), minimumInterval_(minimumInterval) {
    load();
    worker_ = std::thread([this] { writeBehind(); });
}

FileDefaultsStore::~FileDefaultsStore() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
    writePending();
}

std::filesystem::path FileDefaultsStore::standardLocation() {
    return XdgPaths::configHome() / "norvo-studio" / "defaults.json";
}

void FileDefaultsStore::load() {
    RegularFile file(file_);
    if (!file.isOpen()) {
        if (file.failure() == RegularFile::Failure::missing) return;  // a first start
        // A folder in the file's place cannot be moved aside like a file; the first write
        // fails on it and says so.
        std::error_code ec;
        if (std::filesystem::is_directory(file_, ec)) return;
        setAside(file.reason());
        return;
    }
    const auto text = file.read(maximumFileBytes);
    if (!text) {
        setAside(file.reason());
        return;
    }
    if (text->size() > maximumFileBytes) {
        setAside("is too large");
        return;
    }
    // An empty file holds nothing to keep and nothing to miss.
    if (text->empty()) return;
    auto parsed = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        setAside("is damaged");
        return;
    }
    for (const auto& [key, v] : parsed.items()) {
        if (v.is_boolean()) values_[key] = v.get<bool>();
        else if (v.is_number()) values_[key] = v.get<double>();
        else if (v.is_string()) values_[key] = v.get<std::string>();
    }
}

// Every setting falls back to its default; the file is kept aside rather than
// overwritten, so what it held is not lost, and the user hears of it.
void FileDefaultsStore::setAside(const std::string& why) {
    keepAside_ = true;
    std::string notice = "The settings file \u201C" + ShownName::inSentence(file_.native()) + "\u201D " + why +
                         ", so the studio started with its default settings.";
    if (keepAside(keptAside_) == 0)
        notice += " The old file was kept as \u201C" + ShownName::inSentence(keptAside_->native()) + "\u201D.";
    resetNotice_ = std::move(notice);
}

int FileDefaultsStore::keepAside(std::optional<std::filesystem::path>& copied) {
    if (!keepAside_) return 0;
    const std::string stem = file_.string() + ".unreadable";
    for (int number = 1; number <= 1000; ++number) {
        const std::string copy = number == 1 ? stem : stem + "-" + std::to_string(number);
        // Never over an earlier copy: each unreadable file is kept.
        int moved = ::renameat2(AT_FDCWD, file_.c_str(), AT_FDCWD, copy.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system that cannot refuse to replace: a link cannot replace either.
            moved = ::link(file_.c_str(), copy.c_str());
            if (moved == 0) ::unlink(file_.c_str());
        }
        if (moved == 0) {
            keepAside_ = false;
            copied = copy;
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

void FileDefaultsStore::writeBehind() {
    // Long ago: the first change after a quiet spell is written at once.
    auto lastWrite = std::chrono::steady_clock::now() - minimumInterval_;
    std::unique_lock lock(mutex_);
    for (;;) {
        // A failed write is tried again with the next change (or at flush), not in a loop.
        wake_.wait(lock, [this] { return stopping_ || version_ != attemptedVersion_; });
        if (stopping_) return;
        // Changes arriving meanwhile join this write.
        if (wake_.wait_until(lock, lastWrite + minimumInterval_, [this] { return stopping_; })) return;
        lock.unlock();
        writePending();
        lastWrite = std::chrono::steady_clock::now();
        lock.lock();
    }
}

bool FileDefaultsStore::writePending() {
    std::lock_guard writer(writing_);
    std::map<std::string, Value> values;
    uint64_t version = 0;
    {
        std::lock_guard lock(mutex_);
        if (version_ == writtenVersion_) return true;
        values = values_;
        version = attemptedVersion_ = version_;
    }
    nlohmann::json out = nlohmann::json::object();
    for (const auto& [key, v] : values) {
        if (auto b = std::get_if<bool>(&v)) out[key] = *b;
        else if (auto d = std::get_if<double>(&v)) out[key] = std::isfinite(*d) ? nlohmann::json(*d) : nlohmann::json();
        else out[key] = std::get<std::string>(v);
    }
    const std::string failure =
        persist(out.dump(2, ' ', /*ensure_ascii=*/false, nlohmann::json::error_handler_t::replace) + "\n");
    if (!failure.empty()) {
        noteWriteFailure(failure);
        return false;
    }
    std::lock_guard lock(mutex_);
    writtenVersion_ = std::max(writtenVersion_, version);
    ++fileWrites_;
    return true;
}

void FileDefaultsStore::noteWriteFailure(const std::string& reason) {
    const std::string sentence = "The studio cannot write its settings to \u201C" +
                                 ShownName::inSentence(file_.native()) + "\u201D (" + reason +
                                 "). Changes to settings last only until you quit.";
    std::lock_guard lock(reporting_);
    if (failureReported_ || unreportedFailure_) return;
    if (!report_) {
        unreportedFailure_ = sentence;
        return;
    }
    failureReported_ = true;
    report_(sentence);
}

void FileDefaultsStore::reportWriteFailure(std::function<void(const std::string&)> report) {
    std::lock_guard lock(reporting_);
    report_ = std::move(report);
    if (!report_ || !unreportedFailure_) return;
    failureReported_ = true;
    report_(*std::exchange(unreportedFailure_, std::nullopt));
}

std::string FileDefaultsStore::persist(const std::string& text) {
    auto reason = [](int error) { return std::generic_category().message(error); };
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    // The unreadable file is never overwritten: until it is out of the way, nothing is written.
    std::optional<std::filesystem::path> copied;
    if (const int error = keepAside(copied); error != 0)
        return "the unreadable settings file cannot be moved aside: " + reason(error);
    const FileReplacement replacement{.temporary = file_.string() + ".tmp-" + std::to_string(::getpid())};
    if (const int error = replacement.write(file_, text); error != 0) return reason(error);
    // Make the rename itself durable.
    const int dir = ::open(file_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

std::optional<DefaultsStore::Value> FileDefaultsStore::value(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void FileDefaultsStore::setValue(const std::string& key, const Value& value) {
    std::lock_guard lock(mutex_);
    auto [it, inserted] = values_.try_emplace(key, value);
    if (!inserted) {
        if (it->second == value) return;  // nothing to write
        it->second = value;
    }
    changed();
}

void FileDefaultsStore::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (values_.erase(key) > 0) changed();
}

void FileDefaultsStore::changed() {
    ++version_;
    wake_.notify_one();
}

bool FileDefaultsStore::flush() { return writePending(); }

uint64_t FileDefaultsStore::fileWrites() const {
    std::lock_guard lock(mutex_);
    return fileWrites_;
}

}  // namespace norvo
