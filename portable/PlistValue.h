#pragma once
// A property-list value: text, integer, real, flag, date, data, list or dictionary.
// Settings, notification user info and push payloads are made of these. A value is a plain
// value type; copies are deep. Reading it as another type than it holds yields nothing.
// Like any value: several threads may read one value at once; a value being changed is
// touched by one thread only.

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace platform {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDict = std::map<std::string, PlistValue>;
using PlistData = std::vector<std::uint8_t>;
using PlistDate = std::chrono::system_clock::time_point;

class PlistValue {
public:
    enum class Type { String, Integer, Real, Boolean, Date, Data, Array, Dict };

    PlistValue() : value_(std::string()) {}
    PlistValue(std::string s) : value_(std::move(s)) {}
    PlistValue(const char* s) : value_(std::string(s)) {}
    PlistValue(std::int64_t i) : value_(i) {}
    PlistValue(int i) : value_(static_cast<std::int64_t>(i)) {}
    PlistValue(double d) : value_(d) {}
    PlistValue(bool b) : value_(b) {}
    PlistValue(PlistDate d) : value_(d) {}
    PlistValue(PlistData d) : value_(std::move(d)) {}
    PlistValue(PlistArray a) : value_(std::move(a)) {}
    PlistValue(PlistDict d) : value_(std::move(d)) {}

    // A list of texts, the usual shape of list settings.
    static PlistValue stringArray(const std::vector<std::string>& items);

    Type type() const { return static_cast<Type>(value_.index()); }
    bool isString() const { return type() == Type::String; }
    bool isDict() const { return type() == Type::Dict; }
    bool isArray() const { return type() == Type::Array; }

    // Pointers into the value, or nullptr when it holds another type.
    const std::string* asString() const { return std::get_if<std::string>(&value_); }
    const std::int64_t* asInteger() const { return std::get_if<std::int64_t>(&value_); }
    const double* asReal() const { return std::get_if<double>(&value_); }
    const bool* asBoolean() const { return std::get_if<bool>(&value_); }
    const PlistDate* asDate() const { return std::get_if<PlistDate>(&value_); }
    const PlistData* asData() const { return std::get_if<PlistData>(&value_); }
    const PlistArray* asArray() const { return std::get_if<PlistArray>(&value_); }
    const PlistDict* asDict() const { return std::get_if<PlistDict>(&value_); }
    PlistArray* asArray() { return std::get_if<PlistArray>(&value_); }
    PlistDict* asDict() { return std::get_if<PlistDict>(&value_); }

    // The entry `key` of a dictionary value; nullptr when this is no dictionary or lacks it.
    const PlistValue* find(const std::string& key) const;
    // The text of entry `key` of a dictionary value, when it is text.
    std::optional<std::string> stringAt(const std::string& key) const;
    // Every element of a list value when all of them are text; nothing otherwise.
    std::optional<std::vector<std::string>> stringArray() const;

    // A short text form for logs and messages (like a description of the value).
    std::string description() const;

    bool operator==(const PlistValue& other) const = default;

private:
    std::variant<std::string, std::int64_t, double, bool, PlistDate, PlistData, PlistArray, PlistDict> value_;
};

} // namespace platform
