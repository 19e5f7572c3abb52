#pragma once
// The names a manifest lists, each once, and whether the walk over the web root found it: an
// open-addressing table of the distinct names, copied one after another into one block, so
// that a lookup touches little memory. One thread at a time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ListedNames {
public:
    explicit ListedNames(const std::vector<std::string>& names);

    // Records the entry as present when it is listed; false when it is not.
    bool markFound(std::string_view encodedPath);
    // Whether the `nameIndex`th name of the list was found.
    bool wasFound(std::size_t nameIndex) const { return slots_[slotOfName_[nameIndex]].found; }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
        bool used = false;
        bool found = false;
    };

    // The slot of `name`, or the free slot where it would go.
    std::size_t find(std::string_view name, std::size_t hash) const;

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::string text_;
    std::vector<std::uint32_t> slotOfName_;
};
