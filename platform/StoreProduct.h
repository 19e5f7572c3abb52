#pragma once
// A product of the store as a products request returns it: what the page lists and what a
// payment buys. A plain value, safe to copy to any thread.

#include <optional>
#include <string>

namespace platform {

struct StoreProduct {
    std::string productIdentifier;
    std::string localizedTitle;
    std::string localizedDescription;
    // The price as decimal text ("0.99"), so no binary rounding creeps into what is shown.
    std::string price;
    // The locale the price is shown in, with the product's currency ("de_DE@currency=EUR").
    std::string priceLocale;

    // The price as a floating-point number, for logs; nothing when `price` is no number.
    std::optional<double> priceValue() const;
};

} // namespace platform
