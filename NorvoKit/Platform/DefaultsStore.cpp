#include "Platform/DefaultsStore.hpp"

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unistd.h>

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
    std::error_code ec;
    const bool present = std::filesystem::is_regular_file(file_, ec);
    std::ifstream in(file_, std::ios::binary);
    if (!in) {
        keepAside_ = present;
        return;
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    auto parsed = nlohmann::json::parse(text, nullptr, false);
    // An unreadable file is treated as empty: every setting falls back to its default.
    // It is kept aside rather than overwritten, so the user's settings are not lost.
    if (parsed.is_discarded() || !parsed.is_object()) {
        keepAside_ = present && !text.empty();
        return;
    }
    for (const auto& [key, v] : parsed.items()) {
        if (v.is_boolean()) values_[key] = v.get<bool>();
        else if (v.is_number()) values_[key] = v.get<double>();
        else if (v.is_string()) values_[key] = v.get<std::string>();
    }
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
    const bool ok = persist(out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    std::lock_guard lock(mutex_);
    if (ok) {
        writtenVersion_ = std::max(writtenVersion_, version);
        ++fileWrites_;
    }
    return ok;
}

bool FileDefaultsStore::persist(const std::string& text) {
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    if (keepAside_) {
        std::filesystem::rename(file_, unreadableCopy(), ec);
        keepAside_ = false;
    }
    const std::filesystem::path temporary = file_.string() + ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const char* p = text.data();
    std::size_t left = text.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temporary.c_str(), file_.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(file_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
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
