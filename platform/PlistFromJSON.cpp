#include "platform/PlistFromJSON.h"

#include <nlohmann/json.hpp>

namespace platform {
namespace {

std::optional<PlistValue> fromJSON(const nlohmann::json& value)
{
    switch (value.type()) {
    case nlohmann::json::value_t::object: {
        PlistDict dict;
        for (const auto& [key, member] : value.items())
            if (auto converted = fromJSON(member))
                dict.emplace(key, std::move(*converted));
        return PlistValue(std::move(dict));
    }
    case nlohmann::json::value_t::array: {
        PlistArray array;
        for (const auto& element : value)
            if (auto converted = fromJSON(element))
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
    return *fromJSON(parsed)->asDict();
}

} // namespace platform
