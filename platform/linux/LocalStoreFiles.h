#pragma once
// The files of the local store, which stands in for a store on desktops that have none an
// application can sell through. No payment provider is connected: nothing is charged.
//
// - The product file "Products.json": in the configuration folder of the bundle identifier
//   when one is there, else in the bundle. A JSON object:
//     {"canMakePayments": true,                       (optional, default true)
//      "products": [{"identifier": "…", "title": "…", "description": "…",
//                    "price": "0.99", "currency": "EUR",
//                    "outcome": "purchase" | "defer" | "fail"}]}   (outcome optional)
//   "defer" and "fail" make a product whose purchase waits for approval or fails, for tests.
// - The ledger "store/purchases.json" in the application-support folder: every purchase made,
//   with whether the application has finished its transaction.
// - The receipt at the bundle's receipt URL ("store/receipt"): a JSON text of the bundle
//   identifier and every purchase, rewritten with each purchase and by a receipt refresh.
//
// Every write replaces its file atomically. Safe from any thread (files only, no state).

#include "platform/StoreProduct.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct LocalProduct {
    enum class Outcome { purchase, defer, fail };

    StoreProduct product;
    Outcome outcome = Outcome::purchase;
};

struct LocalCatalog {
    bool canMakePayments = true;
    std::vector<LocalProduct> products;

    const LocalProduct* find(const std::string& identifier) const;
};

struct LocalPurchase {
    std::string productIdentifier;
    std::string transactionIdentifier;
    // Seconds since the epoch.
    std::int64_t purchaseDate = 0;
    bool finished = false;
};

class LocalStoreFiles {
public:
    // The files of the main bundle's application.
    static LocalStoreFiles forMainBundle();
    LocalStoreFiles(std::vector<std::filesystem::path> productFiles, std::filesystem::path ledger,
                    std::optional<std::filesystem::path> receipt, std::string bundleIdentifier);

    bool hasProductFile() const;
    // The first product file that exists, read; nothing when none exists or it is no valid
    // product file (an entry without identifier or with an unknown outcome spoils the file).
    std::optional<LocalCatalog> catalog() const;
    // The purchases recorded so far (none when there is no ledger yet); nothing when the
    // ledger cannot be read.
    std::optional<std::vector<LocalPurchase>> purchases() const;
    // Writes the ledger and then the receipt; false when either failed.
    bool record(const std::vector<LocalPurchase>& purchases) const;
    // Writes the receipt of `purchases`; false when it failed or there is no receipt location.
    bool writeReceipt(const std::vector<LocalPurchase>& purchases) const;

private:
    std::vector<std::filesystem::path> productFiles_;
    std::filesystem::path ledger_;
    std::optional<std::filesystem::path> receipt_;
    std::string bundleIdentifier_;
};

} // namespace platform
