#include "contentserver/FilesManifest.h"

#include "base/Digest.h"
#include "contentserver/Digester.h"
#include "logger/Logger.h"
#include "portable/UTF8.h"


#include <algorithm>
#include <array>
#include <charconv>

namespace {

const std::string_view totalMarker = "===TOTAL===";

// The length of the newline character at `at`, or 0 when there is none. The text is UTF-8.
std::size_t newlineLength(std::string_view text, std::size_t at)
{
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x0a && byte <= 0x0d)
        return 1;
    if (byte == 0xc2 && text.substr(at, 2) == "\xc2\x85")
        return 2;
    if (byte == 0xe2 && (text.substr(at, 3) == "\xe2\x80\xa8" || text.substr(at, 3) == "\xe2\x80\xa9"))
        return 3;
    return 0;
}

// An optional sign and then only digits, within 64 bits.
std::optional<std::int64_t> declaredTotal(std::string_view field)
{
    std::string_view digits = field;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    // from_chars takes a "-" but not a "+".
    const std::string_view number = field.front() == '+' ? digits : field;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size())
        return std::nullopt;
    return value;
}

// True when `hex` is `digest` as lower-case hexadecimal digits.
bool isLowerHex(std::span<const std::uint8_t> digest, std::string_view hex)
{
    static constexpr char digits[] = "0123456789abcdef";
    if (hex.size() != digest.size() * 2)
        return false;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        if (hex[2 * i] != digits[digest[i] >> 4] || hex[2 * i + 1] != digits[digest[i] & 15])
            return false;
    }
    return true;
}

void parseLine(std::string_view line, FilesManifest& manifest, Digester& md5)
{
    // The first three fields and how many there are.
    std::array<std::string_view, 3> fields;
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        if (count < fields.size())
            fields[count] = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
        ++count;
        if (tab == std::string_view::npos || count > fields.size())
            break;
        start = tab + 1;
    }
    if (count == 2) {
        if (fields[0] == totalMarker) {
            if (const auto total = declaredTotal(fields[1])) {
                manifest.total = *total;
                return;
            }
        }
        manifest.names.emplace_back(fields[0]);
    } else if (count == 3) {
        const auto digest =
            md5.digest(std::span(reinterpret_cast<const std::uint8_t*>(fields[0].data()), fields[0].size()));
        if (!isLowerHex(digest, fields[2])) {
            std::string checksum;
            for (const std::string& byte : hexByteStrings(digest))
                checksum += byte;
            LOG_ERROR("wrong md5 calculated checksum " + checksum + " of file " + std::string(fields[0]) +
                      " should be " + std::string(fields[2]) + " ");
            return;
        }
        manifest.names.emplace_back(fields[0]);
    }
}

} // namespace

std::optional<std::string> FilesManifest::decode(std::string_view bytes)
{
    return platform::textFromBytes(bytes);
}

FilesManifest FilesManifest::parse(std::string_view text)
{
    FilesManifest manifest;
    manifest.names.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    Digester md5(HashType::md5);
    std::size_t start = 0;
    for (std::size_t at = 0; at <= text.size();) {
        // Only these bytes begin a newline character.
        const auto byte = at == text.size() ? 0 : static_cast<unsigned char>(text[at]);
        if (byte > 0x0d && byte != 0xc2 && byte != 0xe2) {
            ++at;
            continue;
        }
        const std::size_t length = at == text.size() ? 1 : newlineLength(text, at);
        if (length == 0) {
            ++at;
            continue;
        }
        parseLine(text.substr(start, at - start), manifest, md5);
        at += length;
        start = at;
    }
    return manifest;
}
