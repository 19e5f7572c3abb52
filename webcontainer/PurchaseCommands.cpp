// Bridge commands for the store: "getIAPProducts" (the product list with localized titles,
// descriptions and prices), "getIsAbleToPurchase", "launchPurchase" and "restorePurchase",
// all through the shared IAPCom; and "requestReview". Only the first two answer the page; a
// purchase or a restore is announced later by IAPCom's notifications.

#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "logger/Logger.h"
#include "platform/PaymentQueue.h"
#include "platform/Platform.h"
#include "platform/Toast.h"
#include "portable/NumberFormatter.h"
#include "services/IAPCom.h"
#include "services/RequestReview.h"
#include "webcontainer/BridgeCommands.h"
#include "webcontainer/BridgeConventions.h"

#include <chrono>

namespace {

// The text as a toast at the bottom of the window for 2 seconds.
void showToastAtBottom(const std::string& text)
{
    platform::showToast(text, std::chrono::milliseconds(2000), platform::ToastPosition::bottom);
}

// Every occurrence of `from` in `text` replaced by `to`.
std::string replacingOccurrences(std::string text, const std::string& from, const std::string& to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The reply to a product list: {"<identifier>":{"localizedTitle":…,"localizedDescription":…,
// "price":…},…}, or one of the fixed error replies.
void productListCompletion(const PageReply& reply, bool success,
                           const std::optional<std::vector<platform::StoreProduct>>& products)
{
    if (!success) {
        LOG_DEBUG("request Products returned error.");
        reply.send(R"({"value":"Error fetching product list."})");
        return;
    }
    nlohmann::json result = nlohmann::json::object();
    for (const auto& product : products.value_or(std::vector<platform::StoreProduct>{})) {
        sharedIAPCom().products[product.productIdentifier] = product;
        const std::string price = platform::NumberFormatter(product.priceLocale).string(product.price).value_or("");
        result[product.productIdentifier] = {{"localizedTitle", product.localizedTitle},
                                             {"localizedDescription", product.localizedDescription},
                                             {"price", price}};
    }
    if (result.empty()) {
        LOG_ERROR("Error fetching product list!");
        reply.send(R"({"error":"Error fetching product list!"})");
        return;
    }
    try {
        // Strict first: a text that is no UTF-8 is a serialisation failure, not a silent repair.
        (void)result.dump();
    } catch (const nlohmann::json::exception& error) {
        LOG_ERROR(std::string("Error during JSONSerialization ") + error.what());
        reply.send(std::string(R"({"value":"Error fetching product list: )") + error.what() + "\"}");
        return;
    }
    const std::string json = serializedJSON(result);
    LOG_DEBUG("Calling JS with " + reply.callback().value_or("") + " , " + json + " ");
    reply.send(json);
}

} // namespace

void bridge::getIAPProducts(BridgeScreen&, BridgeRequest& request)
{
    if (!request.url.item("callback"))
        return;
    sharedIAPCom().requestProducts(
        [reply = request.reply](bool success, std::optional<std::vector<platform::StoreProduct>> products) {
            productListCompletion(reply, success, products);
        });
}

void bridge::getIsAbleToPurchase(BridgeScreen&, BridgeRequest& request)
{
    if (!request.url.item("callback"))
        return;
    const auto& queue = platform::current().paymentQueue;
    const std::string reply = member("isAbleToPurchase", yesOrNo(queue && queue->canMakePayments()));
    request.reply.send(reply);
    LOG_DEBUG("returning isAbleToMakePurchase to js: " + reply);
}

void bridge::launchPurchase(BridgeScreen&, BridgeRequest& request)
{
    const auto sku = request.url.value("sku");
    if (!sku)
        return;
    LOG_DEBUG("SKU = \xCB\x9C" + *sku);
    const std::string key = replacingOccurrences(*sku, "quillotutor", "quillo");
    auto& iap = sharedIAPCom();
    const auto product = iap.products.find(key);
    if (product == iap.products.end()) {
        LOG_ERROR("Product not found");
        showToastAtBottom("Error-1098: Product not found.");
        return;
    }
    showToastAtBottom(SharedInstances::get<LocalizedTexts>().text("IAP_START_PURCHASE"));
    iap.buyProduct(product->second);
}

void bridge::restorePurchase(BridgeScreen& screen, BridgeRequest& request)
{
    showToastAtBottom(IAP_RESTORE_PURCHASE());
    if (request.reply.callback())
        screen.restoreCallBack = request.reply;
    sharedIAPCom().restorePurchase();
}

void bridge::requestReview(BridgeScreen&, BridgeRequest&)
{
    RequestReview::requestReview();
}
