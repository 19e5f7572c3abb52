#include "contentserver/DownloadSizeRule.h"

#include "base/Config.h"
#include "base/IJReachability.h"

#include <charconv>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Skips a run of digits from `pos`; returns how many there were.
std::size_t skipDigits(std::string_view text, std::size_t& pos)
{
    const std::size_t start = pos;
    while (pos < text.size() && isDigit(text[pos]))
        ++pos;
    return pos - start;
}

// [+-] (digits [. digits] | . digits) [(e|E) [+-] digits], the whole text and nothing else.
bool isDecimalNumber(std::string_view text)
{
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    std::size_t mantissaDigits = skipDigits(text, pos);
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        mantissaDigits += skipDigits(text, pos);
    }
    if (mantissaDigits == 0)
        return false;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            ++pos;
        if (skipDigits(text, pos) == 0)
            return false;
    }
    return pos == text.size();
}

} // namespace

std::optional<double> parseThreshold(std::string_view text)
{
    if (!isDecimalNumber(text))
        return std::nullopt;
    // from_chars reads no leading "+"; it ignores the locale.
    if (text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool shouldAskBeforeDownload(double size)
{
    const auto type = IJReachability::isConnectedToNetworkOfType();
    if (type == IJReachabilityType::notConnected)
        return false;
    const auto text = sharedConfig().defaults.string(type == IJReachabilityType::wwan ? "askumts" : "askwifi");
    if (!text)
        return false;
    const auto threshold = parseThreshold(*text);
    return threshold && *threshold > 0 && *threshold < size;
}
