#include "portable/PlistFromJSON.h"

#include "portable/PlistBounds.h"

#include <nlohmann/json.hpp>

namespace platform {
namespace {

// Converts `value`, which lies at level `depth` (the root is level 1). A JSON text nested deeper
// than a property list may be is refused whole (`tooDeep`), before the recursion here runs out
// of stack.
std::optional<PlistValue> fromJSON(const nlohmann::json& value, std::size_t depth, bool& tooDeep)
{
    if (depth > kPlistMaxDepth) {
        tooDeep = true;
        return std::nullopt;
    }
    switch (value.type()) {
    case nlohmann::json::value_t::object: {
        PlistDict dict;
        for (const auto& [key, member] : value.items())
            if (auto converted = fromJSON(member, depth + 1, tooDeep))
                dict.emplace(key, std::move(*converted));
        return PlistValue(std::move(dict));
    }
    case nlohmann::json::value_t::array: {
        PlistArray array;
        for (const auto& element : value)
            if (auto converted = fromJSON(element, depth + 1, tooDeep))
                array.push_back(std::move(*converted));
        return PlistValue(std::move(array));
    }
    case nlohmann::json::value_t::string:
        return PlistValue(value.get<std::string>());
    case nlohmann::json::value_t::boolean:
        return PlistValue(value.get<bool>());
    case nlohmann::json::value_t::number_integer:
        return PlistValue(value.get<std::int64_t>());
    case nlohmann::json::value_t::number_unsigned:
        if (value.get<std::uint64_t>() <= std::uint64_t(INT64_MAX))
            return PlistValue(static_cast<std::int64_t>(value.get<std::uint64_t>()));
        return PlistValue(value.get<double>());
    case nlohmann::json::value_t::number_float:
        return PlistValue(value.get<double>());
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<PlistDict> plistDictFromJSON(const std::string& text)
{
    const auto parsed = nlohmann::json::parse(text, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object())
        return std::nullopt;
    bool tooDeep = false;
    auto converted = fromJSON(parsed, 1, tooDeep);
    if (tooDeep)
        return std::nullopt;
    return std::move(*converted->asDict());
}

} // namespace platform
