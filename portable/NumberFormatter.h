#pragma once
// Numbers as text for a locale, on ICU: here the currency style that prices are shown in
// ("0,99 €" in a German locale with euros, "$1.09" in an American one with dollars).
// A formatter is used by one thread at a time; make one per thread or per use.

#include <memory>
#include <optional>
#include <string>

namespace platform {

class NumberFormatter {
public:
    // A currency formatter for `localeIdentifier`, an ICU locale that names its currency
    // ("de_DE@currency=EUR"); without a currency the locale's own is used.
    explicit NumberFormatter(const std::string& localeIdentifier);
    ~NumberFormatter();
    NumberFormatter(const NumberFormatter&) = delete;
    NumberFormatter& operator=(const NumberFormatter&) = delete;

    // `decimal` ("0.99") as a price of the locale; nothing when it is no decimal number or the
    // locale cannot be had.
    std::optional<std::string> string(const std::string& decimal) const;

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

// The user's locale for money (LC_ALL, LC_MONETARY, LANG; "en_US" when none names one) as an
// ICU locale with `currencyCode` as its currency: "de_DE@currency=EUR". Safe from any thread.
std::string priceLocaleIdentifier(const std::string& currencyCode);

} // namespace platform
