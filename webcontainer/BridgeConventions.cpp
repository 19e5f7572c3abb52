#include "webcontainer/BridgeConventions.h"

#include "base/LocalizedTexts.h"

#include <algorithm>

std::string jsonString(const std::string& text)
{
    // Printable ASCII other than the quote and the backslash is written as it stands.
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return c >= 0x20 && c <= 0x7E && c != '"' && c != '\\';
    });
    if (plain)
        return '"' + text + '"';
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string serializedJSON(const nlohmann::json& value)
{
    const std::string compact = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    // Outside strings compact JSON holds no "/", so every one of them is a character of a string.
    std::string out;
    out.reserve(compact.size());
    for (char c : compact) {
        if (c == '/')
            out += '\\';
        out += c;
    }
    return out;
}

std::string alertTitle(const CommandURL& url)
{
    const auto& titles = JS_ALERT_TITLES();
    if (const auto type = url.value("type")) {
        if (const auto found = titles.find(*type); found != titles.end())
            return found->second;
    }
    return titles.at("INFO");
}

std::string member(const std::string& name, const std::string& value)
{
    return "{\"" + name + "\":" + jsonString(value) + "}";
}

std::string yesOrNo(bool yes)
{
    return yes ? "Y" : "N";
}
