#pragma once
// The settings store: a stored layer over a registered-defaults layer.
//
// - Registered defaults are kept in memory only; a stored value of the same key always wins.
// - The stored layer lives in one property-list file. Changes take effect in memory at once;
//   a writer thread of the store puts them into the file shortly after (changes that come
//   meanwhile are merged into one write), and flush() or the end of the process writes what is
//   left. Every write replaces the file atomically (temporary file, fsync, rename): a crash
//   leaves the old file or the new one, never a torn one.
// - synchronize() is cheap: it asks for the write and returns; the main thread never waits
//   for the disk.
// - Faults of the file are logged at error level, never silent: an unreadable file is moved
//   aside under a name of its own ("<file>.unreadable", "<file>.unreadable.1", …) and the store
//   starts empty; something other than a regular file in its place (a FIFO, a folder) is not
//   read (nothing blocks on it); a file that cannot be written is reported once until a write
//   succeeds again, to the log and to the write-failure handler (the layer above tells the user). Temporary files of writes cut short are removed when the store opens.
// - The file is always one the store reads back whole: set() refuses a key or value the file
//   cannot hold as it is (text that is no UTF-8, not a Unicode scalar, or a character XML 1.0
//   cannot carry; lists nested past the depth bound; dates outside the format), rather than
//   store it in another form, so every file written stays a plain property list as before and
//   every earlier file still reads. Values an earlier file brought are kept as they were read.
//   Before a write replaces the file, its bytes are read back: a value that does not come
//   back the same is left out of the file (and logged) rather than cost the others.
// - Typed reads yield nothing for a missing key and for a value of another type.
// - Safe from any thread. The destructor writes what is pending and waits for the writer.

#include "portable/PlistValue.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
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

    // The file of the standard store of the application `bundleIdentifier`: "<bundle id>.plist"
    // in the configuration home's folder of the bundle identifier. The composition root builds
    // the shared store with it.
    static std::filesystem::path standardFile(const std::string& bundleIdentifier);

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

    // Stores `value` under `key`; false (logged, nothing changed) when the file could not hold
    // them as they are (see above; canStore()).
    bool set(const std::string& key, PlistValue value);
    // True when set() would take `value` under `key`.
    static bool canStore(const std::string& key, const PlistValue& value);
    // Stores without the check of set(), as a value an earlier file brought would be.
    void setUncheckedForTesting(const std::string& key, PlistValue value);
    // Removes the stored value of `key`; a registered default shows again.
    void remove(const std::string& key);
    // Removes every stored value at once; the registered defaults stay.
    void removeAll();

    // Every key of both layers, sorted.
    std::vector<std::string> allKeys() const;
    // Both layers merged, stored values winning.
    PlistDict dictionaryRepresentation() const;

    // Asks for every change made so far to be written soon, off the calling thread, and returns
    // at once. False when the last write failed (the change stays in memory and is tried again).
    bool synchronize();
    // Writes the stored layer now and waits for it; false when it could not be written. Every
    // value set before the call is in the file when it returns true. Runs at exit.
    bool flush();

    const std::filesystem::path& file() const { return file_; }

    // Runs `handler` each time writes begin to fail (a failed write after a success or after
    // none), on the thread that wrote, outside the store's locks; at once when the last write
    // failed. Replaces the handler set before; an empty one sets none. The handler must not
    // call back into the store's writes (flush()).
    void setWriteFailureHandler(std::function<void()> handler);

private:
    // Stored values are shared with the writer's snapshot: taking one copies no value.
    using StoredValues = std::map<std::string, std::shared_ptr<const PlistValue>>;

    void load();
    void changed();
    void reportWrite(bool written);

    std::filesystem::path file_;
    mutable std::mutex mutex_;
    PlistDict registered_;
    StoredValues stored_;
    std::uint64_t generation_ = 0;       // bumped by every change
    std::uint64_t savedGeneration_ = 0;  // the generation the file holds
    std::mutex writeMutex_;              // one writer at a time, in order
    std::atomic<bool> writeScheduled_{false};
    std::atomic<bool> lastWriteFailed_{false};
    std::atomic<std::int64_t> lastWrite_{0};  // steady-clock ticks when the last write began
    std::mutex handlerMutex_;
    std::function<void()> writeFailureHandler_;
    std::shared_ptr<Queue> writer_;
};

} // namespace platform
