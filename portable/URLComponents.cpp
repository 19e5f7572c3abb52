#include "portable/URLComponents.h"

#include "portable/UTF8.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace platform {
namespace {

// Takes ownership of a GLib string.
std::optional<std::string> adopt(gchar* text)
{
    if (!text)
        return std::nullopt;
    std::string out = text;
    g_free(text);
    return out;
}

// Characters GLib neither decodes nor escapes in a reference's path and query.
constexpr auto kPlainCharacters = [] {
    std::array<bool, 256> plain{};
    for (const unsigned char c : std::string_view("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                                  "-._~!$&'()*+,;=:@/?#"))
        plain[c] = true;
    return plain;
}();

bool isPlain(char c)
{
    return kPlainCharacters[static_cast<unsigned char>(c)];
}

std::optional<std::vector<QueryItem>> parseQuery(const std::string& query)
{
    std::vector<QueryItem> items;
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t end = std::min(query.find('&', start), query.size());
        const std::string piece = query.substr(start, end - start);
        start = end + 1;
        if (piece.empty())
            continue;
        const std::size_t equals = piece.find('=');
        auto name = removingPercentEncoding(piece.substr(0, equals));
        if (!name)
            return std::nullopt;
        QueryItem item{std::move(*name), std::nullopt};
        if (equals != std::string::npos) {
            item.value = removingPercentEncoding(piece.substr(equals + 1));
            if (!item.value)
                return std::nullopt;
        }
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace

// A relative reference of plain characters without scheme or authority ("getUuid?callback=f",
// the bridge's every message): GLib would find the same path and query, and nothing in them to
// decode or normalize, so they are cut out directly. Nothing for any other text, which GLib reads.
std::optional<URLComponents> URLComponents::parsePlainReference(const std::string& text)
{
    if (!std::all_of(text.begin(), text.end(), isPlain))
        return std::nullopt;
    const std::size_t pathEnd = std::min(text.find_first_of(":/?#"), text.size());
    if (pathEnd < text.size() && text[pathEnd] != '?' && text[pathEnd] != '#')
        return std::nullopt;
    URLComponents components;
    components.path_ = text.substr(0, pathEnd);
    if (pathEnd < text.size() && text[pathEnd] == '?') {
        const std::size_t queryEnd = std::min(text.find('#', pathEnd), text.size());
        components.query_ = text.substr(pathEnd + 1, queryEnd - pathEnd - 1);
        auto items = parseQuery(*components.query_);
        if (!items)
            return std::nullopt;
        components.items_ = std::move(*items);
    }
    return components;
}

std::optional<std::string> removingPercentEncoding(const std::string& encoded)
{
    // Nothing to decode: the text stands as it is (GLib would copy it whole).
    if (encoded.find('%') == std::string::npos && encoded.find('\0') == std::string::npos) {
        if (!g_utf8_validate(encoded.data(), static_cast<gssize>(encoded.size()), nullptr))
            return std::nullopt;
        return encoded;
    }
    auto decoded = adopt(g_uri_unescape_string(encoded.c_str(), nullptr));
    if (!decoded || !g_utf8_validate(decoded->data(), static_cast<gssize>(decoded->size()), nullptr))
        return std::nullopt;
    return decoded;
}

std::optional<URLComponents> URLComponents::parse(const std::string& text)
{
    // A raw NUL belongs in no URL (GLib would stop reading there), nor does text that is not
    // UTF-8: the text is refused whole rather than read up to the fault.
    if (text.find('\0') != std::string::npos || !isValidUTF8(text))
        return std::nullopt;
    if (auto plain = parsePlainReference(text))
        return plain;
    gchar* path = nullptr;
    gchar* query = nullptr;
    if (!g_uri_split(text.c_str(), G_URI_FLAGS_ENCODED, nullptr, nullptr, nullptr, nullptr, &path, &query, nullptr,
                     nullptr))
        return std::nullopt;
    URLComponents components;
    auto encodedPath = adopt(path).value_or("");
    components.query_ = adopt(query);
    auto decodedPath = removingPercentEncoding(encodedPath);
    if (!decodedPath)
        return std::nullopt;
    components.path_ = std::move(*decodedPath);
    if (components.query_) {
        auto items = parseQuery(*components.query_);
        if (!items)
            return std::nullopt;
        components.items_ = std::move(*items);
    }
    return components;
}

std::string URLComponents::lastPathComponent() const
{
    std::string path = path_;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path == "/")
        return path;
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace platform
