#pragma once
// Property lists built in memory as bytes, to show that lists nested past the limit (or
// unfolding into too many values) are refused before anything recursive sees them.

#include "portable/PlistSerialization.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// One dictionary whose entry "deep" is a chain of `depth` lists, each holding the next.
std::string nestedPlist(platform::PlistFormat format, std::size_t depth);

// An object of a binary list: its leading bytes (marker, and payload of a text) and then the
// indexes of the objects it refers to.
struct BinaryObject {
    std::string head;
    std::vector<std::uint64_t> refs;
};
// The binary list of `objects`, the first the root (4-byte references and offsets).
std::string binaryPlist(const std::vector<BinaryObject>& objects);

} // namespace testsupport
