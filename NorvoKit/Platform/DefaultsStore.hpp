#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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
    // Writes what is still pending to lasting storage before returning (the application
    // calls it at quit); false when that failed. Reads and writes never wait for storage.
    virtual bool flush() { return true; }

    // Why the stored settings could not be used at start, so that the defaults are in use
    // instead: a sentence for the user; nothing when they were read or there were none.
    virtual std::optional<std::string> resetNotice() const { return std::nullopt; }
    // `report` is told, once per run and on the thread that found it, why settings cannot
    // be written to lasting storage; also when that was found before this call. An empty
    // function stops the reports: once this returns, no report is under way.
    virtual void reportWriteFailure(std::function<void(const std::string&)> report) { (void)report; }
};

// Settings held in memory only, never stored: for tests, the benchmarks and the
// gallery, which must not touch the user's settings.
class InMemoryDefaultsStore final : public DefaultsStore {
public:
    std::optional<Value> value(const std::string& key) const override;
    void setValue(const std::string& key, const Value& value) override;
    void remove(const std::string& key) override;

private:
    mutable std::mutex mutex_;
    std::map<std::string, Value> values_;
};

// Settings in one JSON file. Reads and writes are answered in memory at once; a worker
// writes the file behind them atomically (temporary file, fsync, rename), at most once
// per `minimumInterval` so that a knob dragged through a thousand values costs a couple
// of writes. A crash loses at most the last moments of changes, never the file.
class FileDefaultsStore final : public DefaultsStore {
public:
    explicit FileDefaultsStore(std::filesystem::path file,
                               std::chrono::milliseconds minimumInterval = std::chrono::milliseconds(500));
    // Writes what is pending.
    ~FileDefaultsStore() override;
    FileDefaultsStore(const FileDefaultsStore&) = delete;
    FileDefaultsStore& operator=(const FileDefaultsStore&) = delete;

    // $XDG_CONFIG_HOME/norvo-studio/defaults.json
    static std::filesystem::path standardLocation();

    std::optional<Value> value(const std::string& key) const override;
    void setValue(const std::string& key, const Value& value) override;
    void remove(const std::string& key) override;
    bool flush() override;

    std::optional<std::string> resetNotice() const override { return resetNotice_; }
    void reportWriteFailure(std::function<void(const std::string&)> report) override;

    const std::filesystem::path& file() const { return file_; }
    // Where the settings file that could not be read at start was moved: beside it, named
    // ".unreadable", or ".unreadable-2" and so on when earlier ones are there already.
    const std::optional<std::filesystem::path>& keptAside() const { return keptAside_; }
    // How many times the file has been written so far.
    uint64_t fileWrites() const;

    // A settings file of more than this is not ours to read.
    static constexpr std::size_t maximumFileBytes = std::size_t{64} << 20;

private:
    void load();
    // Moves the unreadable file out of the way under a name no earlier copy has, and
    // says where; the system's error number when it could not.
    int keepAside(std::optional<std::filesystem::path>& copied);
    void setAside(const std::string& why);
    void noteWriteFailure(const std::string& reason);
    void changed();  // with mutex_ held
    void writeBehind();
    // Writes the values as of now unless that version is on disk already; serialised by
    // writing_. False when the file could not be written (the values stay in memory).
    bool writePending();
    // Empty when written, else the system's reason.
    std::string persist(const std::string& text);

    const std::filesystem::path file_;
    const std::chrono::milliseconds minimumInterval_;

    mutable std::mutex mutex_;  // guards everything below but the file itself; held only briefly
    std::condition_variable wake_;
    std::map<std::string, Value> values_;
    uint64_t version_ = 0;           // bumped by every change
    uint64_t writtenVersion_ = 0;    // the version the file holds
    uint64_t attemptedVersion_ = 0;  // the last version a write was tried for
    uint64_t fileWrites_ = 0;
    bool stopping_ = false;

    std::optional<std::string> resetNotice_;          // set by load() only
    std::optional<std::filesystem::path> keptAside_;  // set by load() only

    std::mutex reporting_;  // guards the three below
    std::function<void(const std::string&)> report_;
    std::optional<std::string> unreportedFailure_;
    bool failureReported_ = false;

    std::mutex writing_;      // one writer of the file at a time: the worker or flush()
    bool keepAside_ = false;  // guarded by writing_: an unreadable file is still in the way
    std::thread worker_;      // last: started once everything else is ready
};

}  // namespace norvo
