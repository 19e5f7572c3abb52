#include "portable/AsciiText.h"

#include <algorithm>

namespace platform {
namespace {

constexpr std::string_view whiteSpace = " \t\r\n\v\f";

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(whiteSpace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(whiteSpace) - first + 1);
}

std::string lowercasedASCII(std::string_view text)
{
    std::string out(text);
    std::ranges::transform(out, out.begin(), lower);
    return out;
}

bool equalsIgnoringASCIICase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return lower(x) == lower(y); });
}

} // namespace platform
