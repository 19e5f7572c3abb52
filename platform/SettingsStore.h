#pragma once
// The settings store: a stored layer over a registered-defaults layer.
//
// - Registered defaults are kept in memory only; a stored value of the same key always wins.
// - The stored layer lives in one property-list file. Writes change memory at once and reach
//   the file with synchronize() (atomic replace: a crash leaves the old file or the new one)
//   or, at the latest, shortly after the write and when the process exits.
// - Typed reads yield nothing for a missing key and for a value of another type.
// - Safe from any thread.

#include "platform/PlistValue.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class Queue;

class SettingsStore {
public:
    // A store kept in `file`; what the file holds is loaded now.
    explicit SettingsStore(std::filesystem::path file);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The standard store of this application: "<bundle id>.plist" in the configuration home's
    // folder of the bundle identifier. Created on first use, never destroyed.
    static SettingsStore& standard();

    // Adds `defaults` to the registered layer (later registrations win per key).
    void registerDefaults(const PlistDict& defaults);

    std::optional<PlistValue> object(const std::string& key) const;
    std::optional<std::string> string(const std::string& key) const;
    std::optional<std::int64_t> integer(const std::string& key) const;
    std::optional<double> real(const std::string& key) const;
    std::optional<bool> boolean(const std::string& key) const;
    std::optional<PlistDate> date(const std::string& key) const;
    std::optional<PlistData> data(const std::string& key) const;
    std::optional<PlistArray> array(const std::string& key) const;
    std::optional<PlistDict> dictionary(const std::string& key) const;
    // A list whose elements are all text.
    std::optional<std::vector<std::string>> stringArray(const std::string& key) const;

    void set(const std::string& key, PlistValue value);
    // Removes the stored value of `key`; a registered default shows again.
    void remove(const std::string& key);
    // Removes every stored value at once; the registered defaults stay.
    void removeAll();

    // Every key of both layers, sorted.
    std::vector<std::string> allKeys() const;
    // Both layers merged, stored values winning.
    PlistDict dictionaryRepresentation() const;

    // Writes the stored layer to its file now; false when it could not be written.
    // Every value set before the call is in the file when it returns true.
    bool synchronize();

    const std::filesystem::path& file() const { return file_; }

private:
    void changed();

    std::filesystem::path file_;
    mutable std::mutex mutex_;
    PlistDict registered_;
    PlistDict stored_;
    std::uint64_t generation_ = 0;       // bumped by every change
    std::uint64_t savedGeneration_ = 0;  // the generation the file holds
    std::mutex writeMutex_;              // one writer at a time, in order
    std::atomic<bool> flushScheduled_{false};
    std::shared_ptr<Queue> flushQueue_;
};

} // namespace platform
