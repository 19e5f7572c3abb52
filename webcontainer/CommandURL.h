#pragma once
// A command of the bridge as the page posts it: "word?name=value&name=value…", such as
// "getUuid?callback=onUuid". The text carries no scheme and no host, so everything before "?"
// is the path, and the path is the command word. The query items are the command's
// parameters, in the order written; values are percent-decoded and "+" stays "+".
//
// Parameter lookup: only the first item of a name counts. Three outcomes are told apart: no
// such item (or no query at all), an item without a value ("callback"), and an item with a
// value, possibly empty ("callback="). Items are kept in order; duplicates are never merged.
//
// A plain value; safe to use from any thread.

#include "portable/URLComponents.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CommandURL {
public:
    // Nothing when the text cannot be split into components (a malformed percent-encoding, a
    // query that does not decode to UTF-8 text).
    static std::optional<CommandURL> parse(const std::string& text);

    // The command word: the whole path, compared exactly ("/getUuid" and "GetUuid" are other words).
    const std::string& word() const { return components_.path(); }
    // The first query item named exactly `name`; nullptr when there is none.
    const platform::QueryItem* item(std::string_view name) const;
    // The value of the first item named `name`; nothing when there is no such item or it has
    // no value.
    std::optional<std::string> value(std::string_view name) const;
    // Every query item in order.
    const std::vector<platform::QueryItem>& items() const { return components_.queryItems(); }
    // The text the command was parsed from.
    const std::string& text() const { return text_; }

private:
    CommandURL(std::string text, platform::URLComponents components)
        : text_(std::move(text)), components_(std::move(components))
    {
    }

    std::string text_;
    platform::URLComponents components_;
};
