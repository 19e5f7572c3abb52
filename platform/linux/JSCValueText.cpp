#include "platform/linux/JSCValueText.h"

#include "platform/linux/GObjectPtr.h"

#include <glib.h>

namespace platform::gtk {
namespace {

std::optional<gunichar> hexUnit(std::string_view text)
{
    if (text.size() < 4)
        return std::nullopt;
    gunichar unit = 0;
    for (char c : text.substr(0, 4)) {
        const int digit = g_ascii_xdigit_value(c);
        if (digit < 0)
            return std::nullopt;
        unit = unit * 16 + static_cast<gunichar>(digit);
    }
    return unit;
}

bool isHighSurrogate(gunichar unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(gunichar unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

gunichar fromSurrogatePair(gunichar high, gunichar low)
{
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

void append(std::string& out, gunichar code)
{
    // GLib encodes any code point, surrogates included, without judging it.
    char bytes[6];
    out.append(bytes, static_cast<std::size_t>(g_unichar_to_utf8(code, bytes)));
}

std::string takeText(char* text)
{
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

} // namespace

std::optional<std::string> decodeJSONStringLiteral(std::string_view json)
{
    if (json.size() < 2 || json.front() != '"' || json.back() != '"')
        return std::nullopt;
    const std::string_view body = json.substr(1, json.size() - 2);
    std::string out;
    out.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\\') {
            out += body[i];
            continue;
        }
        if (++i == body.size())
            return std::nullopt;
        switch (body[i]) {
        case '"': case '\\': case '/': out += body[i]; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
            auto unit = hexUnit(body.substr(i + 1));
            if (!unit)
                return std::nullopt;
            i += 4;
            if (isHighSurrogate(*unit) && body.substr(i + 1, 2) == "\\u") {
                if (const auto low = hexUnit(body.substr(i + 3)); low && isLowSurrogate(*low)) {
                    *unit = fromSurrogatePair(*unit, *low);
                    i += 6;
                }
            }
            append(out, *unit);
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::string utf8FromUTF16(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        gunichar unit = text[i];
        if (unit < 0x80) {
            out += static_cast<char>(unit);
            continue;
        }
        if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1]))
            unit = fromSurrogatePair(unit, text[++i]);
        append(out, unit);
    }
    return out;
}

std::optional<std::string> stringText(JSGlobalContextRef context, JSValueRef value)
{
    if (!JSValueIsString(context, value))
        return std::nullopt;
    JSStringRef string = JSValueToStringCopy(context, value, nullptr);
    if (!string)
        return std::nullopt;
    const auto* characters = reinterpret_cast<const char16_t*>(JSStringGetCharactersPtr(string));
    std::string text = utf8FromUTF16({characters, JSStringGetLength(string)});
    JSStringRelease(string);
    return text;
}

std::string textOf(JSCValue* value)
{
    GObjectPtr<JSCValue> text = GObjectPtr<JSCValue>::ref(value);
    if (!jsc_value_is_string(value)) {
        // String(value) in the value's own context, so that an object's text is not cut either.
        JSCContext* context = jsc_value_get_context(value);
        const auto string = GObjectPtr<JSCValue>::adopt(jsc_context_get_value(context, "String"));
        text = GObjectPtr<JSCValue>::adopt(jsc_value_function_call(string.get(), JSC_TYPE_VALUE, value, G_TYPE_NONE));
        jsc_context_clear_exception(context);
        if (!text || !jsc_value_is_string(text.get()))
            return "";
    }
    return decodeJSONStringLiteral(takeText(jsc_value_to_json(text.get(), 0))).value_or("");
}

} // namespace platform::gtk
