#pragma once
// The application's one connection to the store: product lists, purchases and restores, and
// the receipts of delivered purchases, each announced once as an in-process notification.
// It does not talk to the content server; the web screen observes the notifications and
// forwards the receipts.
//
// Notifications (default notification centre):
//   "IAPComPurchaseNotification", object the product identifier, user info "identifier" and
//     "receiptData" (the receipt as Base64 text): a delivered purchase whose receipt was not
//     reported before; posted on the main queue.
//   "IAPComPurchaseNotification", object the identifier stored under "currentSKU", user info
//     "receiptData" alone: the end of any store request of this object (a receipt refresh, and
//     a product list too); posted at once, on the thread of the request's end.
//   "IAPComRestoreNotification", no object, user info "identifierSet" (the identifiers this
//     object was built with) and "receiptSet" (the receipts restores collected): restoring has
//     finished; posted on the main queue. A failed restore posts nothing.
// Settings: "currentSKU" (the last delivered product), "currentPurchases" (every receipt
// reported, in order; it only grows, so a receipt is reported once per installation, except
// through the refresh path, which reports without looking).
//
// Main thread only: the store reports on the main queue. The shared instance lives as long as
// the shared instances; the payment queue and the requests hold it weakly.

#include "platform/PaymentQueue.h"
#include "platform/StoreRequest.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class IAPCom : public platform::PaymentTransactionObserver,
               public platform::StoreRequestDelegate,
               public std::enable_shared_from_this<IAPCom> {
public:
    using ProductsRequestCompletionHandler =
        std::function<void(bool success, std::optional<std::vector<platform::StoreProduct>> products)>;
    using Transactions = std::vector<std::shared_ptr<platform::PaymentTransaction>>;

    explicit IAPCom(std::set<std::string> productIds);

    const std::string CURRENT_PURCHASES = "currentPurchases";
    const std::string CURRENT_SKU = "currentSKU";
    // What a product-list request asks the store about.
    const std::set<std::string> productIdentifiers;
    // Delivered or restored in this process.
    std::set<std::string> purchasedProductIdentifiers;
    // Receipt hashes handled in this process.
    std::set<std::string> purchasedProductHashes;
    // Receipts collected by restores in this process.
    std::set<std::string> purchasedProductReceipts;
    std::shared_ptr<platform::StoreRequest> productsRequest;
    ProductsRequestCompletionHandler productsRequestCompletionHandler;
    // Where the receipt lies, read once at construction.
    const std::optional<std::filesystem::path> receiptURL;
    // The products the page's purchase commands know: the product list fills it, a purchase
    // reads it.
    std::map<std::string, platform::StoreProduct> products;

    // Asks the store for the products of productIdentifiers; `completionHandler` is called once
    // with (true, the products) or (false, nothing), unless a later request replaces this one.
    void requestProducts(ProductsRequestCompletionHandler completionHandler);
    void buyProduct(const platform::StoreProduct& product);
    void restorePurchase();
    // Records `identifier` as delivered and announces its receipt when it is new.
    void deliverPurchaseNotificationFor(const std::optional<std::string>& identifier);

    // The payment queue's reports.
    void paymentQueueUpdatedTransactions(platform::PaymentQueue& queue, const Transactions& transactions) override;
    void paymentQueueRestoreCompletedTransactionsFinished(platform::PaymentQueue& queue) override;
    // The store requests' reports.
    void productsRequestDidReceiveResponse(platform::StoreRequest& request,
                                           const platform::ProductsResponse& response) override;
    void requestDidFinish(platform::StoreRequest& request) override;
    void requestDidFail(platform::StoreRequest& request, const platform::StoreError& error) override;

    void complete(platform::PaymentTransaction& transaction, platform::PaymentQueue& queue);
    void fail(platform::PaymentTransaction& transaction, platform::PaymentQueue& queue);
    void restore(platform::PaymentTransaction& transaction, platform::PaymentQueue& queue);
    void deferPurchase(platform::PaymentTransaction& transaction, platform::PaymentQueue& queue);

private:
    // A store request failed (or none could be made): the waiting product list hears (false).
    void answerFailure(const platform::StoreError& error);
    // The receipt as Base64 text; nothing when the file cannot be read.
    std::optional<std::string> readReceipt() const;
    // The receipt text and its hash. Nothing without a receipt location; nothing (and a refresh
    // started) when the receipt cannot be read; nothing (and `encodingError` logged) when its
    // text cannot be hashed.
    std::optional<std::pair<std::string, std::string>> receiptWithHash(const std::string& encodingError);
    void startReceiptRefresh();
};

// The receipt hash: the SHA-1 of the receipt text's UTF-8 bytes as 40 lower-case hex digits;
// nothing when the text is no UTF-8.
std::optional<std::string> receiptHash(const std::string& receiptText);

// The shared instance, built with PRODUCT_IDENTIFIERS by the composition root.
IAPCom& sharedIAPCom();
