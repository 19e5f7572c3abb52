#include "portable/PlistBounds.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace platform {
namespace {

constexpr auto npos = std::string_view::npos;

// The XML form, scanned the way the property-list library reads it, so that no element it would
// build is missed: a tag ends at the first ">" outside double quotes, "/>" ends an empty element,
// comments, processing instructions, CDATA sections and the DOCTYPE (with its internal subset up
// to "]>") hold no elements. A list where a double-quoted text holds the end of a tag or a
// declaration is refused: no list needs one, and it is where readers part ways. Every element
// counts, so the <plist> around the root adds a level. A closing tag that does not match the
// innermost open element closes nothing here (the library stops at it), so the depth counted
// is never less than the library's.
bool xmlWithinBounds(std::string_view text)
{
    std::vector<std::string_view> open;
    std::uint64_t elements = 0;
    // True when the double quotes in [from, to) pair up, so that `to` lies outside any.
    const auto outsideQuotes = [&](std::size_t from, std::size_t to) {
        return std::count(text.begin() + from, text.begin() + to, '"') % 2 == 0;
    };
    std::size_t pos = 0;
    while ((pos = text.find('<', pos)) != npos) {
        const auto rest = text.substr(pos);
        if (rest.starts_with("<?")) {
            // From the "?", as the library looks: "<?>" ends at once.
            const auto end = text.find("?>", pos + 1);
            if (end == npos || !outsideQuotes(pos + 1, end))
                return false;
            pos = end + 2;
            continue;
        }
        if (rest.starts_with("<!--") || rest.starts_with("<![CDATA[")) {
            const bool comment = rest[2] == '-';
            const auto end = text.find(comment ? "-->" : "]]>", pos + (comment ? 4 : 9));
            if (end == npos)
                return false;
            pos = end + 3;
            continue;
        }
        if (rest.starts_with("<!DOCTYPE")) {
            const auto end = text.find_first_of("[>", pos + 9);
            if (end == npos || !outsideQuotes(pos + 9, end))
                return false;
            pos = end + 1;
            if (text[end] == '[') {
                const auto subsetEnd = text.find("]>", end);
                if (subsetEnd == npos || !outsideQuotes(end, subsetEnd))
                    return false;
                pos = subsetEnd + 2;
            }
            continue;
        }
        if (rest.starts_with("<!"))
            return false;
        const bool closing = rest.starts_with("</");
        const auto nameStart = pos + (closing ? 2 : 1);
        const auto nameEnd = text.find_first_of(" \t\r\n<>", nameStart);
        const auto end = nameEnd == npos ? npos : text.find_first_of("<>", nameEnd);
        if (end == npos || text[end] == '<' || !outsideQuotes(nameEnd, end))
            return false;
        const auto name = text.substr(nameStart, std::min(nameEnd, text.find('/', nameStart)) - nameStart);
        const bool empty = text[end - 1] == '/' && end - 1 > pos;
        pos = end + 1;
        if (closing) {
            if (!open.empty() && open.back() == name)
                open.pop_back();
            continue;
        }
        if (++elements > kPlistMaxValues + 1)
            return false;
        if (!empty) {
            open.push_back(name);
            if (open.size() > kPlistMaxDepth + 1)
                return false;
        }
    }
    return true;
}

// The binary form ("bplist00"): a table of objects, each container holding the indexes of its
// members; the trailer names the root. The objects reachable from the root are walked depth
// first with a stack of our own, each once: its height and its unfolded size are kept, so
// shared members cost nothing more, and a member that is still being walked is a cycle.
class BinaryScan {
public:
    explicit BinaryScan(std::string_view bytes) : bytes_(bytes) {}

    bool withinBounds()
    {
        constexpr std::size_t trailerSize = 32;
        if (bytes_.size() < 8 + trailerSize)
            return false;
        const std::size_t trailer = bytes_.size() - trailerSize;
        offsetSize_ = static_cast<unsigned char>(bytes_[trailer + 6]);
        refSize_ = static_cast<unsigned char>(bytes_[trailer + 7]);
        const std::uint64_t count = number(trailer + 8, 8);
        const std::uint64_t root = number(trailer + 16, 8);
        table_ = number(trailer + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8 || count == 0 || root >= count
            || table_ >= trailer || count > (trailer - table_) / offsetSize_)
            return false;
        state_.assign(count, State::unseen);
        height_.assign(count, 0);
        values_.assign(count, 0);
        return walk(root);
    }

private:
    enum class State : std::uint8_t { unseen, walking, done };

    struct Frame {
        std::uint64_t object;
        std::size_t members;       // position of the first member index
        std::uint64_t memberCount;
        std::uint64_t next = 0;
        std::uint32_t height = 1;
        std::uint64_t values = 1;
    };

    std::uint64_t number(std::size_t at, std::size_t size) const
    {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes_[at + i]);
        return value;
    }

    // Reads the header of `object`: false when it lies outside the bytes. A container's member
    // indexes are left in `frame`; anything else has none.
    bool header(std::uint64_t object, Frame& frame) const
    {
        const std::uint64_t offset = number(table_ + object * offsetSize_, offsetSize_);
        if (offset < 8 || offset >= table_)
            return false;
        const auto marker = static_cast<unsigned char>(bytes_[offset]);
        const unsigned type = marker & 0xF0;
        std::uint64_t factor = 0;
        if (type == 0xA0 || type == 0xC0)  // list, set
            factor = 1;
        else if (type == 0xD0)  // dictionary: its keys, then its values
            factor = 2;
        frame = Frame{object, static_cast<std::size_t>(offset) + 1, 0};
        if (!factor)
            return true;
        std::uint64_t count = marker & 0x0F;
        if (count == 0x0F) {
            // The count follows as an integer object of 1, 2, 4 or 8 bytes.
            if (frame.members >= table_)
                return false;
            const auto intMarker = static_cast<unsigned char>(bytes_[frame.members]);
            const std::size_t size = std::size_t{1} << (intMarker & 0x0F);
            if ((intMarker & 0xF0) != 0x10 || size > 8 || table_ - frame.members - 1 < size)
                return false;
            count = number(frame.members + 1, size);
            frame.members += 1 + size;
        }
        if (count > (table_ - frame.members) / refSize_ / factor)
            return false;
        frame.memberCount = count * factor;
        return true;
    }

    // Adds a finished member of the innermost frame to it; false past a bound.
    bool fold(std::vector<Frame>& stack, std::uint32_t height, std::uint64_t values) const
    {
        Frame& parent = stack.back();
        if (stack.size() + height > kPlistMaxDepth)
            return false;
        parent.height = std::max(parent.height, height + 1);
        parent.values = std::min(parent.values + values, kPlistMaxValues + 1);
        return parent.values <= kPlistMaxValues;
    }

    bool walk(std::uint64_t root)
    {
        std::vector<Frame> stack;
        Frame frame;
        if (!header(root, frame))
            return false;
        stack.push_back(frame);
        state_[root] = State::walking;
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next == top.memberCount) {
                const Frame finished = top;
                stack.pop_back();
                state_[finished.object] = State::done;
                height_[finished.object] = finished.height;
                values_[finished.object] = finished.values;
                if (!stack.empty() && !fold(stack, finished.height, finished.values))
                    return false;
                continue;
            }
            const std::uint64_t member = number(top.members + top.next++ * refSize_, refSize_);
            if (member >= state_.size() || state_[member] == State::walking)
                return false;
            if (state_[member] == State::done) {
                if (!fold(stack, height_[member], values_[member]))
                    return false;
                continue;
            }
            if (!header(member, frame))
                return false;
            if (frame.memberCount == 0) {
                state_[member] = State::done;
                height_[member] = 1;
                values_[member] = 1;
                if (!fold(stack, 1, 1))
                    return false;
                continue;
            }
            if (stack.size() + 1 > kPlistMaxDepth)
                return false;
            stack.push_back(frame);
            state_[member] = State::walking;
        }
        return true;
    }

    std::string_view bytes_;
    std::size_t offsetSize_ = 0;
    std::size_t refSize_ = 0;
    std::uint64_t table_ = 0;
    std::vector<State> state_;
    std::vector<std::uint32_t> height_;
    std::vector<std::uint64_t> values_;
};

} // namespace

bool plistWithinBounds(std::string_view bytes)
{
    if (bytes.starts_with("bplist00"))
        return BinaryScan(bytes).withinBounds();
    return xmlWithinBounds(bytes);
}

} // namespace platform
