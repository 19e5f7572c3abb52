// The command-URL parser on any text the page may post: it never crashes, and a command it
// accepts accounts for every query item of the text, none lost, merged or invented.

#include "fuzz/FuzzCheck.h"
#include "portable/UTF8.h"
#include "webcontainer/CommandURL.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto command = CommandURL::parse(text);
    if (!command)
        return 0;
    FUZZ_CHECK(command->text() == text);
    FUZZ_CHECK(platform::isValidUTF8(command->word()));
    for (const auto& item : command->items()) {
        FUZZ_CHECK(platform::isValidUTF8(item.name) && (!item.value || platform::isValidUTF8(*item.value)));
        // Lookup finds the first item of a name.
        const platform::QueryItem* found = command->item(item.name);
        FUZZ_CHECK(found && found->name == item.name);
        FUZZ_CHECK(command->value(item.name) == found->value);
    }

    // Without escapes, a NUL or a fragment the query reads back as written: its non-empty
    // pieces, in order.
    if (text.find_first_of(std::string("%#\0", 3)) != std::string::npos)
        return 0;
    const auto question = text.find('?');
    if (question == std::string::npos) {
        FUZZ_CHECK(command->items().empty());
        return 0;
    }
    std::string rebuilt;
    for (const auto& item : command->items()) {
        if (!rebuilt.empty())
            rebuilt += '&';
        rebuilt += item.name + (item.value ? "=" + *item.value : "");
    }
    std::string written;
    std::size_t start = question + 1;
    while (start <= text.size()) {
        auto end = text.find('&', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start) {
            if (!written.empty())
                written += '&';
            written += text.substr(start, end - start);
        }
        start = end + 1;
    }
    FUZZ_CHECK(rebuilt == written);
    return 0;
}
