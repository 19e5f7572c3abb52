#include "base/SharedInstances.h"

#include "portable/Check.h"

#include <utility>
#include <vector>

namespace {

struct Entry {
    std::shared_ptr<void> owner;
    std::function<void()> forget;
};

// Never destroyed: threads that outlive main() may still read a slot.
std::vector<Entry>& entries()
{
    static auto* list = new std::vector<Entry>();
    return *list;
}

} // namespace

void SharedInstances::keep(std::shared_ptr<void> owner, std::function<void()> forget)
{
    entries().push_back({std::move(owner), std::move(forget)});
}

void SharedInstances::clear()
{
    auto& list = entries();
    while (!list.empty()) {
        Entry last = std::move(list.back());
        list.pop_back();
        // The slot empties first, so an instance that reads its own kind while it is destroyed
        // is told so rather than handed a half-destroyed object.
        last.forget();
        last.owner.reset();
    }
}

void SharedInstances::missing(const char* typeName)
{
    platform::fatalError(std::string("shared instance ") + typeName + " read before the composition root built it");
}

void SharedInstances::duplicate(const char* typeName)
{
    platform::fatalError(std::string("shared instance ") + typeName + " built twice");
}

const std::string& bundleID()
{
    return SharedInstances::get<MainBundleIdentifier>().text;
}

platform::NotificationCenter& sharedNotificationCenter()
{
    return SharedInstances::get<platform::NotificationCenter>();
}
