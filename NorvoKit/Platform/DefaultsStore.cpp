#include "Platform/DefaultsStore.hpp"

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

FileDefaultsStore::FileDefaultsStore(std::filesystem::path file) : file_(std::move(file)) { load(); }

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

bool FileDefaultsStore::persist() {
    nlohmann::json out = nlohmann::json::object();
    for (const auto& [key, v] : values_) {
        if (auto b = std::get_if<bool>(&v)) out[key] = *b;
        else if (auto d = std::get_if<double>(&v)) out[key] = std::isfinite(*d) ? nlohmann::json(*d) : nlohmann::json();
        else out[key] = std::get<std::string>(v);
    }
    const std::string text = out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";

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
    values_[key] = value;
    persist();
}

void FileDefaultsStore::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (values_.erase(key) > 0) persist();
}

}  // namespace norvo
