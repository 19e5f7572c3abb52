#include "portable/SettingsStore.h"

#include "logger/Logger.h"
#include "portable/DescriptorIO.h"
#include "portable/Dispatch.h"
#include "portable/FileManager.h"
#include "portable/Paths.h"
#include "portable/PlistSerialization.h"
#include "portable/UTF8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace fs = std::filesystem;

namespace platform {
namespace {

// Two writes start at least this far apart, so a stream of changes makes few writes.
constexpr std::chrono::milliseconds kWriteInterval{100};

std::int64_t ticksNow()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

enum class FileState { missing, notRegular, unreadable, read };

// Reads `file` without blocking on it: what is not a regular file (a FIFO, a folder, a
// device) is not read at all.
FileState readRegularFile(const fs::path& file, std::string& bytes)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? FileState::missing : FileState::unreadable;
    struct stat info {};
    FileState state = FileState::read;
    if (::fstat(fd, &info) != 0)
        state = FileState::unreadable;
    else if (!S_ISREG(info.st_mode))
        state = FileState::notRegular;
    if (state == FileState::read && !readBlocks(fd, [&bytes](std::string_view block) {
            bytes += block;
            return true;
        }))
        state = FileState::unreadable;
    ::close(fd);
    return state;
}

// True when `bytes` read back as exactly `values`.
bool readBackAs(const std::string& bytes, const PlistDict& values)
{
    const auto back = plistFromBytes(bytes);
    return back && back->isDict() && *back->asDict() == values;
}

// The file's bytes for `values`, checked to read back as them. A value that does not come back
// the same (set() lets none in, but one an earlier file brought may do) is left out and logged;
// nothing when even then the bytes would not read back.
std::optional<std::string> fileBytes(PlistDict values)
{
    auto bytes = plistToBytes(PlistValue(values));
    if (readBackAs(bytes, values))
        return bytes;
    std::erase_if(values, [](const auto& entry) {
        const PlistDict alone{entry};
        if (readBackAs(plistToBytes(PlistValue(alone)), alone))
            return false;
        LOG_ERROR("Setting " + entry.first + " is left out of the settings file: it would not read back as it is");
        return true;
    });
    bytes = plistToBytes(PlistValue(values));
    if (readBackAs(bytes, values))
        return bytes;
    return std::nullopt;
}

// Moves `file` to the first free name of "<file>.unreadable", "<file>.unreadable.1", …; never
// over an earlier copy.
std::optional<fs::path> keepAside(const fs::path& file)
{
    for (int n = 0; n < 1000; ++n) {
        const fs::path target = file.string() + ".unreadable" + (n ? "." + std::to_string(n) : "");
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return target;
        // A file system without the no-replace rename: look first, then rename.
        if (errno == EINVAL && !FileManager::defaultManager().fileExists(target)
            && !FileManager::defaultManager().moveItem(file, target))
            return target;
        if (errno != EEXIST && errno != EINVAL)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

SettingsStore::SettingsStore(fs::path file) : file_(std::move(file)), writer_(makeSerialQueue("settings"))
{
    load();
}

SettingsStore::~SettingsStore()
{
    flush();
}

void SettingsStore::load()
{
    if (const auto removed = FileManager::defaultManager().removeStrayTemporaryFiles(file_))
        LOG_INFO("Removed " + std::to_string(removed) + " temporary settings files of interrupted writes");
    std::string bytes;
    switch (readRegularFile(file_, bytes)) {
    case FileState::missing:
        return;
    case FileState::notRegular:
        LOG_ERROR("Settings file " + file_.string() + " is not a regular file; starting with no stored values");
        return;
    case FileState::unreadable:
    case FileState::read:
        break;
    }
    if (auto loaded = plistFromBytes(bytes); loaded && loaded->isDict()) {
        for (auto& [key, value] : *loaded->asDict())
            stored_.emplace(key, std::make_shared<const PlistValue>(std::move(value)));
        return;
    }
    // Kept aside rather than overwritten by the next write.
    const auto kept = keepAside(file_);
    LOG_ERROR("Settings file " + file_.string() + " is unreadable; starting with no stored values; "
              + (kept ? "kept as " + kept->string() : "it could not be moved aside"));
}

fs::path SettingsStore::standardFile(const std::string& bundleIdentifier)
{
    return paths::configHome() / bundleIdentifier / (bundleIdentifier + ".plist");
}

void SettingsStore::registerDefaults(const PlistDict& defaults)
{
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : defaults)
        registered_[key] = value;
}

std::optional<PlistValue> SettingsStore::object(const std::string& key) const
{
    std::lock_guard lock(mutex_);
    if (auto it = stored_.find(key); it != stored_.end())
        return *it->second;
    if (auto it = registered_.find(key); it != registered_.end())
        return it->second;
    return std::nullopt;
}

namespace {

template <class T, class Get>
std::optional<T> typed(const std::optional<PlistValue>& value, Get get)
{
    if (!value)
        return std::nullopt;
    const auto* inner = ((*value).*get)();
    if (!inner)
        return std::nullopt;
    return *inner;
}

} // namespace

std::optional<std::string> SettingsStore::string(const std::string& key) const
{
    return typed<std::string>(object(key), &PlistValue::asString);
}

std::optional<std::int64_t> SettingsStore::integer(const std::string& key) const
{
    return typed<std::int64_t>(object(key), &PlistValue::asInteger);
}

std::optional<double> SettingsStore::real(const std::string& key) const
{
    return typed<double>(object(key), &PlistValue::asReal);
}

std::optional<bool> SettingsStore::boolean(const std::string& key) const
{
    return typed<bool>(object(key), &PlistValue::asBoolean);
}

std::optional<PlistDate> SettingsStore::date(const std::string& key) const
{
    return typed<PlistDate>(object(key), &PlistValue::asDate);
}

std::optional<PlistData> SettingsStore::data(const std::string& key) const
{
    return typed<PlistData>(object(key), &PlistValue::asData);
}

std::optional<PlistArray> SettingsStore::array(const std::string& key) const
{
    return typed<PlistArray>(object(key), static_cast<const PlistArray* (PlistValue::*)() const>(&PlistValue::asArray));
}

std::optional<PlistDict> SettingsStore::dictionary(const std::string& key) const
{
    return typed<PlistDict>(object(key), static_cast<const PlistDict* (PlistValue::*)() const>(&PlistValue::asDict));
}

std::optional<std::vector<std::string>> SettingsStore::stringArray(const std::string& key) const
{
    auto value = object(key);
    if (!value)
        return std::nullopt;
    return value->stringArray();
}

bool SettingsStore::canStore(const std::string& key, const PlistValue& value)
{
    // The value stands in the file's root dictionary.
    return isXmlText(key) && isWritableAsPlist(value, 2);
}

bool SettingsStore::set(const std::string& key, PlistValue value)
{
    if (!canStore(key, value)) {
        LOG_ERROR("Setting " + key + " is not stored: the settings file cannot hold its value as it is");
        return false;
    }
    setUncheckedForTesting(key, std::move(value));
    return true;
}

void SettingsStore::setUncheckedForTesting(const std::string& key, PlistValue value)
{
    {
        std::lock_guard lock(mutex_);
        stored_[key] = std::make_shared<const PlistValue>(std::move(value));
        ++generation_;
    }
    changed();
}

void SettingsStore::remove(const std::string& key)
{
    {
        std::lock_guard lock(mutex_);
        if (stored_.erase(key) == 0)
            return;
        ++generation_;
    }
    changed();
}

void SettingsStore::removeAll()
{
    {
        std::lock_guard lock(mutex_);
        stored_.clear();
        ++generation_;
    }
    changed();
}

std::vector<std::string> SettingsStore::allKeys() const
{
    std::vector<std::string> keys;
    for (const auto& [key, value] : dictionaryRepresentation())
        keys.push_back(key);
    return keys;
}

PlistDict SettingsStore::dictionaryRepresentation() const
{
    std::lock_guard lock(mutex_);
    PlistDict merged = registered_;
    for (const auto& [key, value] : stored_)
        merged[key] = *value;
    return merged;
}

bool SettingsStore::synchronize()
{
    bool pending;
    {
        std::lock_guard lock(mutex_);
        pending = generation_ != savedGeneration_;
    }
    // A change schedules its own write; this retries after a failed one.
    if (pending)
        changed();
    return !lastWriteFailed_;
}

bool SettingsStore::flush()
{
    std::lock_guard writing(writeMutex_);
    StoredValues snapshot;
    std::uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        if (generation_ == savedGeneration_)
            return true;
        snapshot = stored_;
        generation = generation_;
    }
    lastWrite_ = ticksNow();
    PlistDict values;
    for (const auto& [key, value] : snapshot)
        values.emplace(key, *value);
    const auto bytes = fileBytes(std::move(values));
    auto& fm = FileManager::defaultManager();
    const bool written = bytes && !fm.createDirectory(file_.parent_path()) && fm.writeFileAtomically(file_, *bytes, 0600);
    reportWrite(written);
    if (!written)
        return false;
    std::lock_guard lock(mutex_);
    savedGeneration_ = std::max(savedGeneration_, generation);
    return true;
}

void SettingsStore::reportWrite(bool written)
{
    if (lastWriteFailed_.exchange(!written) || written)
        return;
    LOG_ERROR("Settings cannot be written to " + file_.string()
              + "; changes are kept in memory only until a write succeeds");
    std::function<void()> handler;
    {
        std::lock_guard lock(handlerMutex_);
        handler = writeFailureHandler_;
    }
    if (handler)
        handler();
}

void SettingsStore::setWriteFailureHandler(std::function<void()> handler)
{
    {
        std::lock_guard lock(handlerMutex_);
        writeFailureHandler_ = handler;
    }
    if (handler && lastWriteFailed_)
        handler();
}

void SettingsStore::changed()
{
    if (writeScheduled_.exchange(true))
        return;
    const auto since = std::chrono::steady_clock::duration(ticksNow() - lastWrite_.load());
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(kWriteInterval - since);
    writer_->asyncAfter(std::max(wait, std::chrono::milliseconds(0)), [this] {
        writeScheduled_ = false;
        flush();
    });
}

} // namespace platform
