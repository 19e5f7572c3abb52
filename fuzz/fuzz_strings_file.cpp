// The strings-file parser on any bytes a bundle may hold: it never crashes, every key and text
// it yields is UTF-8 (the texts go to GTK labels as they are), and a table written back in the
// file syntax reads back the same.

#include "fuzz/FuzzCheck.h"
#include "portable/StringsFile.h"
#include "portable/UTF8.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\U%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto table = platform::parseStringsFile(std::string(reinterpret_cast<const char*>(data), size));
    if (!table)
        return 0;
    std::string written = "/* written back */\n";
    for (const auto& [key, value] : *table) {
        FUZZ_CHECK(platform::isValidUTF8(key) && platform::isValidUTF8(value));
        written += quoted(key) + " = " + quoted(value) + ";\n";
    }
    const auto reread = platform::parseStringsFile(written);
    FUZZ_CHECK(reread && *reread == *table);
    return 0;
}
