#include "portable/PlistSerialization.h"

#include "portable/UTF8.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>

namespace platform {
namespace {

// Seconds between the Unix epoch and the property-list epoch (2001-01-01 UTC).
constexpr std::int64_t kPlistEpochOffset = 978307200;

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

std::optional<PlistValue> fromNode(plist_t node, int depth)
{
    // The bytes were checked before the library built the tree (PlistBounds.h); this bounds
    // the recursion here whatever the check let through.
    if (!node || depth > static_cast<int>(kPlistMaxDepth))
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        // Not plist_get_string_val: it aborts the process on a text that holds a NUL.
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        std::string out = text ? std::string(text, length) : std::string();
        // The parser passes bytes through unchecked; a NUL or bytes that are no UTF-8 would not
        // survive being written back (the binary form stores text as UTF-16, XML up to a NUL).
        if (out.find('\0') != std::string::npos || !isValidUTF8(out))
            return std::nullopt;
        return PlistValue(std::move(out));
    }
    case PLIST_BOOLEAN: {
        std::uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        return PlistValue(flag != 0);
    }
    case PLIST_UINT: {
        std::uint64_t number = 0;
        plist_get_uint_val(node, &number);
        return PlistValue(static_cast<std::int64_t>(number));
    }
    case PLIST_REAL: {
        double number = 0;
        plist_get_real_val(node, &number);
        return PlistValue(number);
    }
    case PLIST_DATE: {
        std::int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        // The writer takes whole seconds as a 32-bit number: a date that falls outside once the
        // (possibly negative) microseconds are carried over could not be written back.
        const std::int64_t whole = std::int64_t{sec} + (usec < 0 ? -1 : 0);
        if (whole < std::numeric_limits<std::int32_t>::min())
            return std::nullopt;
        auto sinceUnix = std::chrono::seconds(sec + kPlistEpochOffset) + std::chrono::microseconds(usec);
        return PlistValue(PlistDate(std::chrono::duration_cast<PlistDate::duration>(sinceUnix)));
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        std::uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        PlistData out(bytes, bytes + length);
        std::free(bytes);
        return PlistValue(std::move(out));
    }
    case PLIST_ARRAY: {
        PlistArray out;
        const std::uint32_t size = plist_array_get_size(node);
        out.reserve(size);
        for (std::uint32_t i = 0; i < size; ++i) {
            auto item = fromNode(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return std::nullopt;
            out.push_back(std::move(*item));
        }
        return PlistValue(std::move(out));
    }
    case PLIST_DICT: {
        PlistDict out;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iter, &key, &item);
            if (!item) {
                std::free(key);
                break;
            }
            auto value = fromNode(item, depth + 1);
            std::string name = key ? key : "";
            std::free(key);
            if (!value || !isValidUTF8(name)) {
                std::free(iter);
                return std::nullopt;
            }
            out.emplace(std::move(name), std::move(*value));
        }
        std::free(iter);
        return PlistValue(std::move(out));
    }
    default:
        // Keys and UIDs have no place in the values this system keeps.
        return std::nullopt;
    }
}

plist_t toNode(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::String:
        return plist_new_string(value.asString()->c_str());
    case PlistValue::Type::Integer:
        return plist_new_uint(static_cast<std::uint64_t>(*value.asInteger()));
    case PlistValue::Type::Real:
        return plist_new_real(*value.asReal());
    case PlistValue::Type::Boolean:
        return plist_new_bool(*value.asBoolean() ? 1 : 0);
    case PlistValue::Type::Date: {
        auto micros = std::chrono::duration_cast<std::chrono::microseconds>(value.asDate()->time_since_epoch()).count();
        std::int64_t sec = micros / 1000000 - kPlistEpochOffset;
        std::int64_t usec = micros % 1000000;
        if (usec < 0) {
            usec += 1000000;
            sec -= 1;
        }
        return plist_new_date(static_cast<std::int32_t>(sec), static_cast<std::int32_t>(usec));
    }
    case PlistValue::Type::Data: {
        const auto& data = *value.asData();
        return plist_new_data(reinterpret_cast<const char*>(data.data()), data.size());
    }
    case PlistValue::Type::Array: {
        plist_t node = plist_new_array();
        for (const auto& item : *value.asArray())
            plist_array_append_item(node, toNode(item));
        return node;
    }
    case PlistValue::Type::Dict: {
        plist_t node = plist_new_dict();
        for (const auto& [key, item] : *value.asDict())
            plist_dict_set_item(node, key.c_str(), toNode(item));
        return node;
    }
    }
    return plist_new_string("");
}

// Texts XML can hold and nesting within the bound; stops one level past it, so the recursion is
// as shallow as the lists read.
bool holdsXmlTextWithinDepth(const PlistValue& value, std::size_t level)
{
    if (level > kPlistMaxDepth)
        return false;
    if (const auto* text = value.asString())
        return isXmlText(*text);
    if (const auto* list = value.asArray())
        return std::all_of(list->begin(), list->end(),
                           [&](const PlistValue& item) { return holdsXmlTextWithinDepth(item, level + 1); });
    if (const auto* dict = value.asDict())
        return std::all_of(dict->begin(), dict->end(), [&](const auto& entry) {
            return isXmlText(entry.first) && holdsXmlTextWithinDepth(entry.second, level + 1);
        });
    return true;
}

} // namespace

std::optional<PlistValue> plistFromBytes(const std::string& bytes)
{
    if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max() || !plistWithinBounds(bytes))
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    PlistPtr owner(root);
    if (root && bytes.starts_with("bplist")) {
        // A binary list may hold a key with a NUL, on which reading the key aborts the process
        // inside the library. Its XML form holds every key as plain text (cut at a NUL).
        char* xml = nullptr;
        std::uint32_t length = 0;
        plist_to_xml(root, &xml, &length);
        plist_t fromXml = nullptr;
        if (xml)
            plist_from_memory(xml, length, &fromXml);
        plist_to_xml_free(xml);
        owner.reset(fromXml);
        root = fromXml;
    }
    return fromNode(root, 1);
}

std::optional<PlistValue> readPlistFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return plistFromBytes(buffer.str());
}

std::string plistToBytes(const PlistValue& value, PlistFormat format)
{
    PlistPtr root(toNode(value));
    char* out = nullptr;
    std::uint32_t length = 0;
    if (format == PlistFormat::Binary) {
        plist_to_bin(root.get(), &out, &length);
        std::string bytes(out ? out : "", length);
        plist_to_bin_free(out);
        return bytes;
    }
    plist_to_xml(root.get(), &out, &length);
    std::string bytes(out ? out : "", length);
    plist_to_xml_free(out);
    return bytes;
}

bool isWritableAsPlist(const PlistValue& value, std::size_t level)
{
    if (!holdsXmlTextWithinDepth(value, level))
        return false;
    const auto back = plistFromBytes(plistToBytes(value));
    return back && *back == value;
}

} // namespace platform
