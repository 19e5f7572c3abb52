#pragma once
// The parts of a URL or of a relative reference ("page.html?a=1&b=&c"), parsed without
// resolving it against a base. Safe from any thread.

#include <optional>
#include <string>
#include <vector>

namespace platform {

// One item of a query: "a=1" has the value "1", "b=" the empty value, "c" no value at all.
// Name and value are decoded from percent-encoding; "+" stays "+".
struct QueryItem {
    std::string name;
    std::optional<std::string> value;
    bool operator==(const QueryItem&) const = default;
};

// `encoded` decoded from percent-encoding ("+" stays "+"); nothing when an escape is malformed
// or the result is no UTF-8 text (or holds a NUL).
std::optional<std::string> removingPercentEncoding(const std::string& encoded);

class URLComponents {
public:
    // Nothing when `text` is no URL reference: a raw NUL or bytes that are no UTF-8 anywhere in
    // it, a malformed percent-encoding, a bad port, a query that does not decode to UTF-8 text.
    static std::optional<URLComponents> parse(const std::string& text);

    // The path, decoded from percent-encoding.
    const std::string& path() const { return path_; }
    // The path's last component: "page.html" for "/a/page.html", "a" for "/a/", "/" for "/",
    // the empty text for an empty path.
    std::string lastPathComponent() const;
    // The query as written (still percent-encoded); nothing when there is no "?".
    const std::optional<std::string>& percentEncodedQuery() const { return query_; }
    // The query's items in order; empty when there is no query. Empty pieces between "&" are
    // no items.
    const std::vector<QueryItem>& queryItems() const { return items_; }

private:
    static std::optional<URLComponents> parsePlainReference(const std::string& text);

    std::string path_;
    std::optional<std::string> query_;
    std::vector<QueryItem> items_;
};

} // namespace platform
