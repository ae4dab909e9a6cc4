#pragma once
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <variant>

namespace norvo {

// The user's settings: typed values under string keys. A missing value, or one of
// another type, reads as nothing, and the caller falls back to its default.
class DefaultsStore {
public:
    using Value = std::variant<bool, double, std::string>;

    virtual ~DefaultsStore() = default;

    std::optional<bool> boolean(const std::string& key) const;
    std::optional<double> number(const std::string& key) const;
    std::optional<float> floatValue(const std::string& key) const;
    std::optional<std::string> string(const std::string& key) const;
    // Data (JSON text, for one) is kept as a string of bytes.
    std::optional<std::string> data(const std::string& key) const { return string(key); }

    void setBool(const std::string& key, bool value) { setValue(key, value); }
    void setNumber(const std::string& key, double value) { setValue(key, value); }
    void setFloat(const std::string& key, float value) { setValue(key, static_cast<double>(value)); }
    void setString(const std::string& key, const std::string& value) { setValue(key, value); }
    void setData(const std::string& key, const std::string& bytes) { setValue(key, bytes); }

    virtual std::optional<Value> value(const std::string& key) const = 0;
    virtual void setValue(const std::string& key, const Value& value) = 0;
    virtual void remove(const std::string& key) = 0;
};

// Settings held in memory only: for tests.
class InMemoryDefaultsStore final : public DefaultsStore {
public:
    std::optional<Value> value(const std::string& key) const override;
    void setValue(const std::string& key, const Value& value) override;
    void remove(const std::string& key) override;

private:
    mutable std::mutex mutex_;
    std::map<std::string, Value> values_;
};

// Settings in one JSON file, rewritten atomically on every change (temporary file,
// fsync, rename), so a crash mid-write leaves the previous file intact.
class FileDefaultsStore final : public DefaultsStore {
public:
    explicit FileDefaultsStore(std::filesystem::path file);

    // $XDG_CONFIG_HOME/norvo-studio/defaults.json
    static std::filesystem::path standardLocation();

    std::optional<Value> value(const std::string& key) const override;
    void setValue(const std::string& key, const Value& value) override;
    void remove(const std::string& key) override;

    const std::filesystem::path& file() const { return file_; }
    // Where a settings file that could not be read is moved before it is first rewritten.
    std::filesystem::path unreadableCopy() const { return file_.string() + ".unreadable"; }

private:
    void load();
    bool persist();  // false when the file could not be written; values stay in memory

    std::filesystem::path file_;
    mutable std::mutex mutex_;
    std::map<std::string, Value> values_;
    bool keepAside_ = false;  // the file on disk could not be read
};

}  // namespace norvo
