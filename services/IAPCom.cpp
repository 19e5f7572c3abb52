#include "services/IAPCom.h"

#include "base/Config.h"
#include "base/Digest.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "base/UIHelpers.h"
#include "logger/Logger.h"
#include "platform/Platform.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"
#include "portable/FileManager.h"

#include <algorithm>

using platform::PaymentTransactionState;

namespace {

const std::string purchaseNotification = "IAPComPurchaseNotification";
const std::string restoreNotification = "IAPComRestoreNotification";

platform::PlistValue stringSet(const std::set<std::string>& items)
{
    return platform::PlistValue::stringArray(std::vector<std::string>(items.begin(), items.end()));
}

void postOnMainQueue(std::string name, std::any object, platform::PlistDict userInfo)
{
    platform::mainQueue().async([name = std::move(name), object = std::move(object), userInfo = std::move(userInfo)] {
        sharedNotificationCenter().post(name, object, userInfo);
    });
}

// An alert of one button that only closes it, on the main queue.
void showAlertLater(std::string title, std::string message)
{
    platform::mainQueue().async([title = std::move(title), message = std::move(message)] {
        showAlert(title, message, AlertButton{localizedString("OK"), {}});
    });
}

} // namespace

IAPCom::IAPCom(std::set<std::string> productIds)
    : productIdentifiers(std::move(productIds)), receiptURL(platform::Bundle::main()->appStoreReceiptURL())
{
}

std::optional<std::string> receiptHash(const std::string& receiptText)
{
    return hashed(receiptText, HashType::sha1, HashOutputType::hex);
}

std::optional<std::string> IAPCom::readReceipt() const
{
    const auto bytes = platform::FileManager::defaultManager().readFile(*receiptURL);
    if (!bytes)
        return std::nullopt;
    return base64Text(std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
}

void IAPCom::requestProducts(ProductsRequestCompletionHandler completionHandler)
{
    if (productsRequest)
        productsRequest->cancel();
    productsRequestCompletionHandler = std::move(completionHandler);
    const auto& make = platform::current().makeProductsRequest;
    productsRequest = make ? make(productIdentifiers) : nullptr;
    if (!productsRequest) {
        answerFailure({platform::StoreError::unknown, "no store"});
        return;
    }
    productsRequest->setDelegate(weak_from_this());
    productsRequest->start();
}

void IAPCom::buyProduct(const platform::StoreProduct& product)
{
    LOG_DEBUG("Buying " + product.productIdentifier + "...");
    if (const auto& queue = platform::current().paymentQueue)
        queue->add(product);
}

void IAPCom::restorePurchase()
{
    LOG_DEBUG("Restoring Purchase...");
    if (const auto& queue = platform::current().paymentQueue)
        queue->restoreCompletedTransactions();
}

void IAPCom::productsRequestDidReceiveResponse(platform::StoreRequest&, const platform::ProductsResponse& response)
{
    LOG_DEBUG("Loaded list of products...");
    if (auto handler = std::exchange(productsRequestCompletionHandler, nullptr))
        handler(true, response.products);
    productsRequest.reset();
    for (const auto& product : response.products)
        LOG_DEBUG("Found product: " + product.productIdentifier + " " + product.localizedTitle + " "
                  + std::to_string(product.priceValue().value_or(0)));
}

void IAPCom::requestDidFail(platform::StoreRequest&, const platform::StoreError& error)
{
    // Every store request of this object ends here alike: a failed receipt refresh answers a
    // waiting product list too.
    answerFailure(error);
}

void IAPCom::answerFailure(const platform::StoreError& error)
{
    LOG_DEBUG("Failed to load list of products.");
    LOG_DEBUG("Error: " + error.localizedDescription);
    if (auto handler = std::exchange(productsRequestCompletionHandler, nullptr))
        handler(false, std::nullopt);
    productsRequest.reset();
}

void IAPCom::requestDidFinish(platform::StoreRequest&)
{
    const auto identifier = sharedConfig().defaults.string(CURRENT_SKU);
    if (!identifier) {
        LOG_ERROR("cannot fetch identifier from defaults");
        return;
    }
    if (!receiptURL)
        return;
    const auto receipt = readReceipt();
    if (!receipt)
        return;
    sharedNotificationCenter().post(purchaseNotification, *identifier, {{"receiptData", *receipt}});
}

void IAPCom::paymentQueueUpdatedTransactions(platform::PaymentQueue& queue, const Transactions& transactions)
{
    for (const auto& transaction : transactions) {
        switch (transaction->transactionState) {
        case PaymentTransactionState::purchasing:
            break;
        case PaymentTransactionState::purchased:
            complete(*transaction, queue);
            break;
        case PaymentTransactionState::failed:
            fail(*transaction, queue);
            break;
        case PaymentTransactionState::restored:
            restore(*transaction, queue);
            break;
        case PaymentTransactionState::deferred:
            deferPurchase(*transaction, queue);
            break;
        default:
            LOG_DEBUG("ERROR FIXME: New unhandled paymenttransaction case!!!");
            break;
        }
    }
}

void IAPCom::complete(platform::PaymentTransaction& transaction, platform::PaymentQueue& queue)
{
    const std::string transactionIdentifier =
        transaction.transactionIdentifier ? "Optional(\"" + *transaction.transactionIdentifier + "\")" : "nil";
    LOG_DEBUG("complete..." + transaction.payment.productIdentifier + ", " + transactionIdentifier);
    queue.finishTransaction(transaction);
    deliverPurchaseNotificationFor(transaction.payment.productIdentifier);
}

void IAPCom::deliverPurchaseNotificationFor(const std::optional<std::string>& identifier)
{
    if (!identifier)
        return;
    purchasedProductIdentifiers.insert(*identifier);
    auto& defaults = sharedConfig().defaults;
    defaults.set(CURRENT_SKU, *identifier);
    defaults.flush();
    platform::PlistDict userInfo{{"identifier", *identifier}};
    const auto found = receiptWithHash("error decoding receipt data!!!");
    if (!found)
        return;
    const auto& [receipt, hash] = *found;
    auto reported = defaults.stringArray(CURRENT_PURCHASES).value_or(std::vector<std::string>{});
    if (purchasedProductHashes.contains(hash) || std::find(reported.begin(), reported.end(), receipt) != reported.end())
        return;
    purchasedProductHashes.insert(hash);
    reported.push_back(receipt);
    defaults.set(CURRENT_PURCHASES, platform::PlistValue::stringArray(reported));
    defaults.flush();
    userInfo["receiptData"] = receipt;
    postOnMainQueue(purchaseNotification, *identifier, std::move(userInfo));
}

std::optional<std::pair<std::string, std::string>> IAPCom::receiptWithHash(const std::string& encodingError)
{
    if (!receiptURL)
        return std::nullopt;
    auto receipt = readReceipt();
    if (!receipt) {
        startReceiptRefresh();
        return std::nullopt;
    }
    auto hash = receiptHash(*receipt);
    if (!hash) {
        LOG_ERROR(encodingError);
        return std::nullopt;
    }
    return std::pair{std::move(*receipt), std::move(*hash)};
}

void IAPCom::startReceiptRefresh()
{
    const auto& make = platform::current().makeReceiptRefreshRequest;
    if (!make)
        return;
    auto refresh = make();
    refresh->setDelegate(weak_from_this());
    refresh->start();
}

void IAPCom::fail(platform::PaymentTransaction& transaction, platform::PaymentQueue& queue)
{
    LOG_DEBUG("fail...");
    queue.finishTransaction(transaction);
    if (!transaction.error)
        return;
    if (transaction.error->code == platform::StoreError::paymentCancelled)
        return;
    LOG_ERROR("Transaction Error: " + transaction.error->localizedDescription);
    showAlertLater(JS_ALERT_TITLES().at("ERROR"), transaction.error->localizedDescription);
}

void IAPCom::restore(platform::PaymentTransaction& transaction, platform::PaymentQueue& queue)
{
    if (!transaction.originalTransaction)
        return;
    const std::string identifier = transaction.originalTransaction->payment.productIdentifier;
    LOG_DEBUG("restore... " + identifier);
    queue.finishTransaction(transaction);
    purchasedProductIdentifiers.insert(identifier);
    if (const auto found = receiptWithHash("Error encoding data string.")) {
        purchasedProductReceipts.insert(found->first);
        purchasedProductHashes.insert(found->second);
    }
}

void IAPCom::deferPurchase(platform::PaymentTransaction& transaction, platform::PaymentQueue& queue)
{
    LOG_DEBUG("deferred transaction...");
    showAlertLater(JS_ALERT_TITLES().at("INFO"), IAP_DEFERRED_PURCHASE());
    queue.finishTransaction(transaction);
}

void IAPCom::paymentQueueRestoreCompletedTransactionsFinished(platform::PaymentQueue&)
{
    postOnMainQueue(restoreNotification, {},
                    {{"identifierSet", stringSet(productIdentifiers)}, {"receiptSet", stringSet(purchasedProductReceipts)}});
}

IAPCom& sharedIAPCom()
{
    return SharedInstances::get<IAPCom>();
}
