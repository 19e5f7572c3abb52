#include "contentserver/ListedNames.h"

#include <functional>

ListedNames::ListedNames(const std::vector<std::string>& names) : slotOfName_(names.size())
{
    std::size_t size = 16;
    while (size < names.size() + names.size() / 2)
        size *= 2;
    slots_.assign(size, Slot{});
    mask_ = size - 1;
    std::size_t bytes = 0;
    for (const auto& name : names)
        bytes += name.size();
    text_.reserve(bytes);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string_view name = names[i];
        const std::size_t hash = std::hash<std::string_view>()(name);
        const std::size_t at = find(name, hash);
        if (!slots_[at].used) {
            slots_[at] = Slot{static_cast<std::uint32_t>(hash), static_cast<std::uint32_t>(text_.size()),
                              static_cast<std::uint32_t>(name.size()), true, false};
            text_ += name;
        }
        slotOfName_[i] = static_cast<std::uint32_t>(at);
    }
}

bool ListedNames::markFound(std::string_view encodedPath)
{
    Slot& slot = slots_[find(encodedPath, std::hash<std::string_view>()(encodedPath))];
    if (!slot.used)
        return false;
    slot.found = true;
    return true;
}

std::size_t ListedNames::find(std::string_view name, std::size_t hash) const
{
    const auto shortHash = static_cast<std::uint32_t>(hash);
    std::size_t at = hash & mask_;
    const std::string_view text = text_;
    while (slots_[at].used &&
           (slots_[at].hash != shortHash || text.substr(slots_[at].offset, slots_[at].length) != name))
        at = (at + 1) & mask_;
    return at;
}
