#include "socketio/PlainEvent.h"

#include <algorithm>

namespace socketio {
namespace {

constexpr int kMaxDepth = 128;
constexpr std::size_t kMaxDigits = 18;

bool isContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF)
{
    return byte >= low && byte <= high;
}

bool isLowerHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// One pass over a JSON text that writes each value as dump() does; false as soon as the text
// leaves the plain form.
class PlainReader {
public:
    explicit PlainReader(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    bool atEnd() const { return p_ == end_; }
    bool take(char c)
    {
        if (p_ == end_ || *p_ != c)
            return false;
        ++p_;
        return true;
    }

    // A string without escapes, its bytes (the name of the event, a key).
    bool plainString(std::string_view& bytes)
    {
        if (!take('"'))
            return false;
        const char* start = p_;
        if (!stringRest(false))
            return false;
        bytes = std::string_view(start, static_cast<std::size_t>(p_ - 1 - start));
        return true;
    }

    bool value(std::string& out, int depth)
    {
        if (p_ == end_)
            return false;
        switch (*p_) {
        case '{':
            return object(out, depth);
        case '[':
            return array(out, depth);
        case '"': {
            const char* start = p_++;
            if (!stringRest(true))
                return false;
            out.append(start, p_);
            return true;
        }
        case 't':
            return literal("true", out);
        case 'f':
            return literal("false", out);
        case 'n':
            return literal("null", out);
        default:
            return integer(out);
        }
    }

private:
    struct Member {
        std::string_view key;
        std::size_t begin;  // of `"key":value` in the output
        std::size_t end;
    };

    bool literal(std::string_view word, std::string& out)
    {
        if (static_cast<std::size_t>(end_ - p_) < word.size() || std::string_view(p_, word.size()) != word)
            return false;
        p_ += word.size();
        out.append(word);
        return true;
    }

    // 0 or -?[1-9][0-9]*, not "-0", nothing of a fraction or an exponent after it.
    bool integer(std::string& out)
    {
        const char* start = p_;
        take('-');
        const char* digits = p_;
        while (p_ != end_ && *p_ >= '0' && *p_ <= '9')
            ++p_;
        const auto count = static_cast<std::size_t>(p_ - digits);
        if (count == 0 || count > kMaxDigits || (*digits == '0' && (count > 1 || digits != start)))
            return false;
        if (p_ != end_ && (*p_ == '.' || *p_ == 'e' || *p_ == 'E'))
            return false;
        out.append(start, p_);
        return true;
    }

    // After the opening quote, up to and past the closing one.
    bool stringRest(bool escapes)
    {
        while (p_ != end_) {
            const auto byte = static_cast<unsigned char>(*p_);
            if (byte == '"') {
                ++p_;
                return true;
            }
            if (byte == '\\') {
                if (!escapes || !escape())
                    return false;
            } else if (byte < 0x20) {
                return false;
            } else if (byte < 0x80) {
                ++p_;
            } else if (!utf8Sequence()) {
                return false;
            }
        }
        return false;
    }

    // The escapes dump() writes: \" \\ \b \f \n \r \t, and \u00xx in lower case for the other
    // control characters.
    bool escape()
    {
        if (end_ - p_ < 2)
            return false;
        switch (p_[1]) {
        case '"':
        case '\\':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            p_ += 2;
            return true;
        case 'u': {
            if (end_ - p_ < 6 || p_[2] != '0' || p_[3] != '0' || (p_[4] != '0' && p_[4] != '1') || !isLowerHex(p_[5]))
                return false;
            const std::string_view code(p_ + 4, 2);
            if (code == "08" || code == "09" || code == "0a" || code == "0c" || code == "0d")
                return false;
            p_ += 6;
            return true;
        }
        default:
            return false;
        }
    }

    // A well-formed UTF-8 sequence of two to four bytes.
    bool utf8Sequence()
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(p_);
        const auto left = static_cast<std::size_t>(end_ - p_);
        const unsigned char lead = bytes[0];
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (left < length || !isContinuation(bytes[1], low, high))
            return false;
        for (std::size_t i = 2; i < length; ++i)
            if (!isContinuation(bytes[i]))
                return false;
        p_ += length;
        return true;
    }

    bool array(std::string& out, int depth)
    {
        if (depth >= kMaxDepth)
            return false;
        ++p_;
        out += '[';
        if (!take(']')) {
            while (true) {
                if (!value(out, depth + 1))
                    return false;
                if (take(']'))
                    break;
                if (!take(','))
                    return false;
                out += ',';
            }
        }
        out += ']';
        return true;
    }

    bool object(std::string& out, int depth)
    {
        if (depth >= kMaxDepth)
            return false;
        ++p_;
        out += '{';
        const std::size_t first = members_.size();
        bool ordered = true;
        if (!take('}')) {
            while (true) {
                std::string_view key;
                if (!plainString(key) || !take(':'))
                    return false;
                const std::size_t begin = out.size();
                out += '"';
                out.append(key);
                out += "\":";
                if (!value(out, depth + 1))
                    return false;
                if (members_.size() > first) {
                    if (key == members_.back().key)
                        return false;
                    ordered = ordered && members_.back().key < key;
                }
                members_.push_back({key, begin, out.size()});
                if (take('}'))
                    break;
                if (!take(','))
                    return false;
                out += ',';
            }
            if (!ordered && !putInKeyOrder(out, first))
                return false;
            members_.resize(first);
        }
        out += '}';
        return true;
    }

    // Rewrites the members from `first` on in the order of their keys; false when a key is
    // there twice.
    bool putInKeyOrder(std::string& out, std::size_t first)
    {
        const std::size_t start = members_[first].begin;
        const std::string written = out.substr(start);
        std::vector<Member> members(members_.begin() + static_cast<std::ptrdiff_t>(first), members_.end());
        std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) { return a.key < b.key; });
        if (std::adjacent_find(members.begin(), members.end(),
                               [](const Member& a, const Member& b) { return a.key == b.key; })
            != members.end())
            return false;
        out.resize(start);
        for (const Member& member : members) {
            if (out.size() > start)
                out += ',';
            out.append(written, member.begin - start, member.end - member.begin);
        }
        return true;
    }

    const char* p_;
    const char* end_;
    // The members of the objects being read, innermost last.
    std::vector<Member> members_;
};

} // namespace

std::optional<PlainEvent> PlainEvent::read(std::string_view text)
{
    if (!text.starts_with("2["))
        return std::nullopt;
    PlainReader reader(text.substr(1));
    PlainEvent event;
    std::string_view name;
    if (!reader.take('[') || !reader.plainString(name))
        return std::nullopt;
    event.name = std::string(name);
    while (reader.take(',')) {
        std::string item;
        if (!reader.value(item, 1))
            return std::nullopt;
        event.items.push_back(std::move(item));
    }
    if (!reader.take(']') || !reader.atEnd())
        return std::nullopt;
    return event;
}

} // namespace socketio
