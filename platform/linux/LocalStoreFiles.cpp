#include "platform/linux/LocalStoreFiles.h"

#include "logger/Logger.h"
#include "portable/Bundle.h"
#include "portable/FileManager.h"
#include "portable/NumberFormatter.h"
#include "portable/Paths.h"

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using nlohmann::json;

namespace platform {
namespace {

const std::string productFileName = "Products.json";

std::optional<LocalProduct::Outcome> outcomeFrom(const std::string& text)
{
    if (text == "purchase")
        return LocalProduct::Outcome::purchase;
    if (text == "defer")
        return LocalProduct::Outcome::defer;
    if (text == "fail")
        return LocalProduct::Outcome::fail;
    return std::nullopt;
}

std::optional<LocalCatalog> parseCatalog(const std::string& text)
try {
    const json file = json::parse(text, nullptr, false);
    if (!file.is_object())
        return std::nullopt;
    LocalCatalog catalog;
    catalog.canMakePayments = file.value("canMakePayments", true);
    const json products = file.value("products", json::array());
    if (!products.is_array())
        return std::nullopt;
    for (const json& entry : products) {
        if (!entry.is_object() || !entry.contains("identifier") || !entry["identifier"].is_string())
            return std::nullopt;
        LocalProduct product;
        product.product.productIdentifier = entry["identifier"].get<std::string>();
        product.product.localizedTitle = entry.value("title", "");
        product.product.localizedDescription = entry.value("description", "");
        product.product.price = entry.value("price", "");
        product.product.priceLocale = priceLocaleIdentifier(entry.value("currency", "USD"));
        const auto outcome = outcomeFrom(entry.value("outcome", "purchase"));
        if (!outcome)
            return std::nullopt;
        product.outcome = *outcome;
        catalog.products.push_back(std::move(product));
    }
    return catalog;
} catch (const json::exception&) {
    // A member of the wrong type.
    return std::nullopt;
}

json receiptPurchases(const std::vector<LocalPurchase>& purchases)
{
    json list = json::array();
    for (const auto& purchase : purchases)
        list.push_back({{"productIdentifier", purchase.productIdentifier},
                        {"transactionIdentifier", purchase.transactionIdentifier},
                        {"purchaseDate", purchase.purchaseDate}});
    return list;
}

} // namespace

const LocalProduct* LocalCatalog::find(const std::string& identifier) const
{
    for (const auto& product : products)
        if (product.product.productIdentifier == identifier)
            return &product;
    return nullptr;
}

LocalStoreFiles LocalStoreFiles::forMainBundle()
{
    const auto bundle = Bundle::main();
    const std::string id = bundle->identifier().value_or("webcontainer");
    return LocalStoreFiles({paths::configHome() / id / productFileName, bundle->resourcePath() / productFileName},
                           paths::applicationSupport(id) / "store" / "purchases.json", bundle->appStoreReceiptURL(), id);
}

LocalStoreFiles::LocalStoreFiles(std::vector<fs::path> productFiles, fs::path ledger, std::optional<fs::path> receipt,
                                 std::string bundleIdentifier)
    : productFiles_(std::move(productFiles))
    , ledger_(std::move(ledger))
    , receipt_(std::move(receipt))
    , bundleIdentifier_(std::move(bundleIdentifier))
{
}

bool LocalStoreFiles::hasProductFile() const
{
    for (const auto& file : productFiles_)
        if (FileManager::defaultManager().fileExists(file))
            return true;
    return false;
}

std::optional<LocalCatalog> LocalStoreFiles::catalog() const
{
    auto& fm = FileManager::defaultManager();
    for (const auto& file : productFiles_) {
        if (!fm.fileExists(file))
            continue;
        const auto text = fm.readFile(file);
        auto catalog = text ? parseCatalog(*text) : std::nullopt;
        if (!catalog)
            LOG_ERROR("local store: " + file.string() + " is no valid product file");
        return catalog;
    }
    return std::nullopt;
}

std::optional<std::vector<LocalPurchase>> LocalStoreFiles::purchases() const
{
    auto& fm = FileManager::defaultManager();
    if (!fm.fileExists(ledger_))
        return std::vector<LocalPurchase>{};
    const auto text = fm.readFile(ledger_);
    if (!text)
        return std::nullopt;
    const json list = json::parse(*text, nullptr, false);
    if (!list.is_array())
        return std::nullopt;
    std::vector<LocalPurchase> purchases;
    try {
        for (const json& entry : list)
            purchases.push_back({entry.at("productIdentifier").get<std::string>(),
                                 entry.at("transactionIdentifier").get<std::string>(),
                                 entry.at("purchaseDate").get<std::int64_t>(), entry.at("finished").get<bool>()});
    } catch (const json::exception&) {
        return std::nullopt;
    }
    return purchases;
}

bool LocalStoreFiles::record(const std::vector<LocalPurchase>& purchases) const
{
    json list = receiptPurchases(purchases);
    for (std::size_t i = 0; i < purchases.size(); ++i)
        list[i]["finished"] = purchases[i].finished;
    auto& fm = FileManager::defaultManager();
    fm.createDirectory(ledger_.parent_path());
    return fm.writeFileAtomically(ledger_, list.dump()) && writeReceipt(purchases);
}

bool LocalStoreFiles::writeReceipt(const std::vector<LocalPurchase>& purchases) const
{
    if (!receipt_)
        return false;
    const json receipt = {{"bundleIdentifier", bundleIdentifier_}, {"purchases", receiptPurchases(purchases)}};
    auto& fm = FileManager::defaultManager();
    fm.createDirectory(receipt_->parent_path());
    return fm.writeFileAtomically(*receipt_, receipt.dump());
}

} // namespace platform
