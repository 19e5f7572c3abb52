#pragma once
// Bounds on the property lists the program reads, checked on their bytes before any parser
// builds a tree: the property-list library builds, converts and frees its trees recursively,
// so a list nested deep enough exhausts the stack, and a binary list may refer to one object
// from many places, each reference unfolding into a copy of its own. Safe from any thread.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

// The deepest property list read, in levels of nesting (the root is the first level).
inline constexpr std::size_t kPlistMaxDepth = 256;
// The most values a property list read may unfold into, dictionary keys counted.
inline constexpr std::uint64_t kPlistMaxValues = 1'000'000;

// False when `bytes`, taken as the property-list library takes them (binary when they begin
// "bplist00", XML otherwise), would nest deeper than kPlistMaxDepth or unfold into more than
// kPlistMaxValues values, or are cut short where that can't be told. Never recursive; time and
// memory linear in the bytes. True says nothing about whether the bytes parse.
bool plistWithinBounds(std::string_view bytes);

} // namespace platform
