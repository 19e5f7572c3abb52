#include "portable/StringsFile.h"

#include "portable/UTF8.h"

#include <glib.h>

#include <cctype>
#include <cstdint>

namespace platform {
namespace {

void appendUtf8(std::string& out, std::uint32_t codePoint)
{
    char buffer[8];
    const int length = g_unichar_to_utf8(codePoint, buffer);
    out.append(buffer, static_cast<std::size_t>(length));
}

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    std::optional<StringTable> parse()
    {
        StringTable table;
        for (;;) {
            if (!skipSpaceAndComments())
                return std::nullopt;
            if (pos_ >= text_.size())
                return table;
            auto key = token();
            if (!key || !skipSpaceAndComments())
                return std::nullopt;
            if (peek() == ';') {
                ++pos_;
                table[*key] = *key;
                continue;
            }
            if (peek() != '=')
                return std::nullopt;
            ++pos_;
            if (!skipSpaceAndComments())
                return std::nullopt;
            auto value = token();
            if (!value || !skipSpaceAndComments() || peek() != ';')
                return std::nullopt;
            ++pos_;
            table[*key] = std::move(*value);
        }
    }

private:
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

    // False on an unterminated block comment.
    bool skipSpaceAndComments()
    {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (text_.compare(pos_, 2, "//") == 0) {
                const auto end = text_.find('\n', pos_);
                pos_ = end == std::string::npos ? text_.size() : end + 1;
            } else if (text_.compare(pos_, 2, "/*") == 0) {
                const auto end = text_.find("*/", pos_ + 2);
                if (end == std::string::npos)
                    return false;
                pos_ = end + 2;
            } else {
                break;
            }
        }
        return true;
    }

    static bool isWordChar(char c)
    {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-' || c == '/'
            || c == ':' || c == '$';
    }

    std::optional<std::string> token()
    {
        if (peek() == '"')
            return quoted();
        const auto start = pos_;
        while (pos_ < text_.size() && isWordChar(text_[pos_]))
            ++pos_;
        if (pos_ == start)
            return std::nullopt;
        return text_.substr(start, pos_ - start);
    }

    std::optional<std::uint32_t> hex4()
    {
        if (pos_ + 4 > text_.size())
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = g_ascii_xdigit_value(text_[pos_ + i]);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        pos_ += 4;
        return value;
    }

    std::optional<std::string> quoted()
    {
        ++pos_; // opening quote
        std::string out;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"')
                return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size())
                return std::nullopt;
            const char e = text_[pos_++];
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'a': out += '\a'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'v': out += '\v'; break;
            case 'U':
            case 'u': {
                auto unit = hex4();
                if (!unit)
                    return std::nullopt;
                std::uint32_t codePoint = *unit;
                if (codePoint >= 0xD800 && codePoint < 0xDC00 && text_.compare(pos_, 2, "\\U") == 0) {
                    const auto save = pos_;
                    pos_ += 2;
                    auto low = hex4();
                    if (low && *low >= 0xDC00 && *low < 0xE000)
                        codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (*low - 0xDC00);
                    else
                        pos_ = save;
                }
                if (codePoint >= 0xD800 && codePoint < 0xE000)
                    codePoint = 0xFFFD; // a lone surrogate is no character
                appendUtf8(out, codePoint);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    std::uint32_t value = static_cast<std::uint32_t>(e - '0');
                    for (int i = 0; i < 2 && pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '7'; ++i)
                        value = value * 8 + static_cast<std::uint32_t>(text_[pos_++] - '0');
                    // One byte of the old single-byte encoding: kept as the character it names.
                    appendUtf8(out, value & 0xFF);
                } else {
                    out += e; // \" \\ \' and any other character stand for themselves
                }
            }
        }
        return std::nullopt; // unterminated
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

} // namespace

std::optional<StringTable> parseStringsFile(const std::string& bytes)
{
    auto text = textFromBytes(bytes);
    if (!text)
        return std::nullopt;
    return Parser(*text).parse();
}

} // namespace platform
