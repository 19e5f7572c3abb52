#include "portable/PlistValue.h"

#include <sstream>

namespace platform {

PlistValue PlistValue::stringArray(const std::vector<std::string>& items)
{
    PlistArray array;
    array.reserve(items.size());
    for (const auto& item : items)
        array.emplace_back(item);
    return PlistValue(std::move(array));
}

const PlistValue* PlistValue::find(const std::string& key) const
{
    const auto* dict = asDict();
    if (!dict)
        return nullptr;
    auto it = dict->find(key);
    return it == dict->end() ? nullptr : &it->second;
}

std::optional<std::string> PlistValue::stringAt(const std::string& key) const
{
    const auto* entry = find(key);
    if (!entry || !entry->asString())
        return std::nullopt;
    return *entry->asString();
}

std::optional<std::vector<std::string>> PlistValue::stringArray() const
{
    const auto* array = asArray();
    if (!array)
        return std::nullopt;
    std::vector<std::string> out;
    out.reserve(array->size());
    for (const auto& item : *array) {
        if (!item.asString())
            return std::nullopt;
        out.push_back(*item.asString());
    }
    return out;
}

std::string PlistValue::description() const
{
    std::ostringstream out;
    switch (type()) {
    case Type::String:
        return *asString();
    case Type::Integer:
        return std::to_string(*asInteger());
    case Type::Real:
        out << *asReal();
        return out.str();
    case Type::Boolean:
        return *asBoolean() ? "1" : "0";
    case Type::Date:
        return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(asDate()->time_since_epoch()).count());
    case Type::Data:
        return "<" + std::to_string(asData()->size()) + " bytes>";
    case Type::Array: {
        out << "(";
        bool first = true;
        for (const auto& item : *asArray()) {
            out << (first ? "" : ", ") << item.description();
            first = false;
        }
        out << ")";
        return out.str();
    }
    case Type::Dict: {
        out << "{";
        bool first = true;
        for (const auto& [key, item] : *asDict()) {
            out << (first ? "" : "; ") << key << " = " << item.description();
            first = false;
        }
        out << "}";
        return out.str();
    }
    }
    return {};
}

} // namespace platform
