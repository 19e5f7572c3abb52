#include "tests/support/NestedPlist.h"

namespace testsupport {
namespace {

void appendBigEndian(std::string& out, std::uint64_t value, int bytes)
{
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

} // namespace

std::string binaryPlist(const std::vector<BinaryObject>& objects)
{
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const auto& object : objects) {
        offsets.push_back(out.size());
        out += object.head;
        for (const auto ref : object.refs)
            appendBigEndian(out, ref, 4);
    }
    const std::uint64_t table = out.size();
    for (const auto offset : offsets)
        appendBigEndian(out, offset, 4);
    out.append(6, '\0');
    out += "\x04\x04";
    appendBigEndian(out, offsets.size(), 8);
    appendBigEndian(out, 0, 8);
    appendBigEndian(out, table, 8);
    return out;
}

std::string nestedPlist(platform::PlistFormat format, std::size_t depth)
{
    if (format == platform::PlistFormat::Binary) {
        // 0 the dictionary, 1 its key, 2 … depth+1 the lists.
        std::vector<BinaryObject> objects{{"\xD1", {1, 2}}, {"\x54" "deep", {}}};
        for (std::size_t level = 1; level < depth; ++level)
            objects.push_back({"\xA1", {objects.size() + 1}});
        objects.push_back({"\xA0", {}});
        return binaryPlist(objects);
    }
    std::string out = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict><key>deep</key>)";
    out.reserve(out.size() + depth * 15 + 30);
    for (std::size_t level = 0; level < depth; ++level)
        out += "<array>";
    for (std::size_t level = 0; level < depth; ++level)
        out += "</array>";
    return out + "</dict></plist>";
}

} // namespace testsupport
