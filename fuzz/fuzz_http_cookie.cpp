// The Set-Cookie parser on hostile reply headers. Input: the first line is the reply's URL, every
// further line one Set-Cookie line. Every cookie it returns has a name, keeps ";" out of name and
// value, and has a Domain the reply's host belongs to.

#include "fuzz/FuzzCheck.h"
#include "portable/AsciiText.h"
#include "portable/HttpCookie.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    std::string url;
    std::getline(input, url);
    std::vector<std::string> lines;
    for (std::string line; std::getline(input, line);)
        lines.push_back(line);

    const auto cookies = platform::cookiesWithResponseHeaderFields(lines, url);
    FUZZ_CHECK(cookies.size() <= lines.size());
    for (const auto& cookie : cookies) {
        FUZZ_CHECK(!cookie.name.empty());
        FUZZ_CHECK(cookie.name.find_first_of(";=") == std::string::npos);
        FUZZ_CHECK(cookie.value.find(';') == std::string::npos);
        FUZZ_CHECK(cookie.domain.find(';') == std::string::npos);
        FUZZ_CHECK(cookie.description() == cookie.name + "=" + cookie.value);
    }
    // A reply from a host may set cookies for that host only (and for domains above it).
    const auto forOther = platform::cookiesWithResponseHeaderFields({"a=1; Domain=other.invalid"}, url);
    // (A host written with escapes is compared decoded, so only plain URLs are checked.)
    FUZZ_CHECK(forOther.empty() || url.find('%') != std::string::npos
          || platform::lowercasedASCII(url).find("other.invalid") != std::string::npos);
    return 0;
}
