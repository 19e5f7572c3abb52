#include "webcontainer/CommandURL.h"

#include <algorithm>

std::optional<CommandURL> CommandURL::parse(const std::string& text)
{
    auto components = platform::URLComponents::parse(text);
    if (!components)
        return std::nullopt;
    return CommandURL(text, std::move(*components));
}

const platform::QueryItem* CommandURL::item(std::string_view name) const
{
    const auto& all = items();
    const auto found = std::find_if(all.begin(), all.end(), [name](const platform::QueryItem& item) {
        return item.name == name;
    });
    return found == all.end() ? nullptr : &*found;
}

std::optional<std::string> CommandURL::value(std::string_view name) const
{
    const platform::QueryItem* found = item(name);
    return found ? found->value : std::nullopt;
}
