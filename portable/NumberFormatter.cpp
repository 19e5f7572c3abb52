#include "portable/NumberFormatter.h"

#include <unicode/unum.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <vector>

namespace platform {

struct NumberFormatter::Handle {
    UNumberFormat* format = nullptr;
};

NumberFormatter::NumberFormatter(const std::string& localeIdentifier) : handle_(std::make_unique<Handle>())
{
    UErrorCode status = U_ZERO_ERROR;
    handle_->format = unum_open(UNUM_CURRENCY, nullptr, 0, localeIdentifier.c_str(), nullptr, &status);
    if (U_FAILURE(status)) {
        if (handle_->format)
            unum_close(handle_->format);
        handle_->format = nullptr;
    }
}

NumberFormatter::~NumberFormatter()
{
    if (handle_->format)
        unum_close(handle_->format);
}

std::optional<std::string> NumberFormatter::string(const std::string& decimal) const
{
    if (!handle_->format || decimal.empty())
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::vector<UChar> formatted(64);
    int32_t length = unum_formatDecimal(handle_->format, decimal.data(), static_cast<int32_t>(decimal.size()),
                                        formatted.data(), static_cast<int32_t>(formatted.size()), nullptr, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        formatted.resize(static_cast<std::size_t>(length) + 1);
        length = unum_formatDecimal(handle_->format, decimal.data(), static_cast<int32_t>(decimal.size()),
                                    formatted.data(), static_cast<int32_t>(formatted.size()), nullptr, &status);
    }
    if (U_FAILURE(status))
        return std::nullopt;

    int32_t utf8Length = 0;
    status = U_ZERO_ERROR;
    u_strToUTF8(nullptr, 0, &utf8Length, formatted.data(), length, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return std::nullopt;
    std::string text(static_cast<std::size_t>(utf8Length), '\0');
    status = U_ZERO_ERROR;
    u_strToUTF8(text.data(), utf8Length, nullptr, formatted.data(), length, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return std::nullopt;
    return text;
}

std::string priceLocaleIdentifier(const std::string& currencyCode)
{
    std::string locale;
    for (const char* variable : {"LC_ALL", "LC_MONETARY", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            locale = value;
            break;
        }
    }
    // "de_DE.UTF-8@euro" -> "de_DE"
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX")
        locale = "en_US";
    return locale + "@currency=" + currencyCode;
}

} // namespace platform
