#include "platform/SettingsStore.h"

#include "platform/Bundle.h"
#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/Paths.h"
#include "platform/PlistSerialization.h"

#include <cstdlib>

namespace fs = std::filesystem;

namespace platform {
namespace {

// Changes not synchronized by their writer reach the file this long after the first of them.
constexpr std::chrono::milliseconds kFlushDelay{500};

} // namespace

SettingsStore::SettingsStore(fs::path file) : file_(std::move(file)), flushQueue_(makeSerialQueue("settings"))
{
    auto& fm = FileManager::defaultManager();
    if (!fm.fileExists(file_))
        return;
    auto loaded = readPlistFile(file_);
    if (loaded && loaded->isDict()) {
        stored_ = std::move(*loaded->asDict());
        return;
    }
    // Keep an unreadable file aside rather than overwrite it with the next write.
    fm.moveItem(file_, fs::path(file_.string() + ".unreadable"));
}

SettingsStore::~SettingsStore()
{
    synchronize();
}

SettingsStore& SettingsStore::standard()
{
    static SettingsStore* store = [] {
        const std::string id = Bundle::main()->identifier().value_or("webcontainer");
        auto* created = new SettingsStore(paths::configHome() / id / (id + ".plist"));
        std::atexit([] { SettingsStore::standard().synchronize(); });
        return created;
    }();
    return *store;
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
        return it->second;
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

void SettingsStore::set(const std::string& key, PlistValue value)
{
    {
        std::lock_guard lock(mutex_);
        stored_[key] = std::move(value);
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
        merged[key] = value;
    return merged;
}

bool SettingsStore::synchronize()
{
    std::lock_guard writing(writeMutex_);
    PlistDict snapshot;
    std::uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        if (generation_ == savedGeneration_)
            return true;
        snapshot = stored_;
        generation = generation_;
    }
    auto& fm = FileManager::defaultManager();
    if (fm.createDirectory(file_.parent_path()))
        return false;
    if (!fm.writeFileAtomically(file_, plistToBytes(PlistValue(std::move(snapshot))), 0600))
        return false;
    std::lock_guard lock(mutex_);
    savedGeneration_ = std::max(savedGeneration_, generation);
    return true;
}

void SettingsStore::changed()
{
    if (flushScheduled_.exchange(true))
        return;
    flushQueue_->asyncAfter(kFlushDelay, [this] {
        flushScheduled_ = false;
        synchronize();
    });
}

} // namespace platform
