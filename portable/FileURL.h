#pragma once
// The text form of file URLs: paths percent-encoded as URL paths are. Every byte is encoded as
// "%" and two upper-case hexadecimal digits except ASCII letters and digits, "/" and the other
// characters a URL path allows as they are ("-._~!$&'()*+,;=:@"). A blank becomes %20, a
// non-ASCII character its encoded UTF-8 bytes. Safe from any thread.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// `path` as a URL path: "img/b c.png" gives "img/b%20c.png".
std::string percentEncodedPath(const std::filesystem::path& path);
// Appends `path` as a URL path to `out`.
void appendPercentEncodedPath(std::string& out, std::string_view path);

// The file URL of a path: "/a/b c" gives "file:///a/b%20c". A relative path is taken from the
// current folder.
std::string fileURLString(const std::filesystem::path& path);

// The local path a file URL names ("file:///a/b%20c" gives "/a/b c"); nothing for any other
// URL (another scheme, a remote host, a malformed encoding).
std::optional<std::filesystem::path> pathFromFileURL(const std::string& url);

} // namespace platform
