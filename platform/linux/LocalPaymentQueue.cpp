#include "platform/linux/LocalPaymentQueue.h"

#include "logger/Logger.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/Window.h"
#include "portable/Bundle.h"
#include "portable/NumberFormatter.h"
#include "portable/UUID.h"

#include <algorithm>
#include <chrono>

namespace platform {
namespace {

std::string text(const std::string& key, const std::string& english)
{
    return Bundle::main()->localizedString(key, english);
}

// The window on top of the application's window (an alert over it, or the window itself).
Window* windowOnTop()
{
    const auto& application = current().application;
    Window* window = application && application->delegate() ? application->delegate()->keyWindow() : nullptr;
    while (window && window->presentedWindow())
        window = window->presentedWindow().get();
    return window;
}

std::shared_ptr<PaymentTransaction> purchasedTransaction(const LocalPurchase& purchase)
{
    auto transaction = std::make_shared<PaymentTransaction>();
    transaction->payment.productIdentifier = purchase.productIdentifier;
    transaction->transactionState = PaymentTransactionState::purchased;
    transaction->transactionIdentifier = purchase.transactionIdentifier;
    return transaction;
}

} // namespace

LocalPaymentQueue::LocalPaymentQueue(LocalStoreFiles files) : files_(std::move(files)) {}

bool LocalPaymentQueue::canMakePaymentsImpl()
{
    const auto catalog = files_.catalog();
    return !catalog || catalog->canMakePayments;
}

void LocalPaymentQueue::addImpl(const StoreProduct& product)
{
    auto transaction = std::make_shared<PaymentTransaction>();
    transaction->payment.productIdentifier = product.productIdentifier;
    reportUpdated({transaction});

    const auto catalog = files_.catalog();
    const LocalProduct* sold = catalog ? catalog->find(product.productIdentifier) : nullptr;
    if (!sold) {
        failTransaction(transaction, StoreError::unknown, text("STORE_UNKNOWN_PRODUCT", "This item is not sold in this store."));
        return;
    }
    Window* window = windowOnTop();
    if (!window) {
        failTransaction(transaction, StoreError::unknown, text("STORE_NO_WINDOW", "The purchase cannot be confirmed without a window."));
        return;
    }
    const std::string price = NumberFormatter(sold->product.priceLocale).string(sold->product.price).value_or("");
    Alert sheet;
    sheet.title = text("STORE_CONFIRM_TITLE", "Confirm Your Purchase");
    sheet.message = sold->product.localizedTitle + (price.empty() ? "" : " – " + price) + "\n\n"
                    + text("STORE_NO_PAYMENT_PROVIDER",
                           "This is a local store for testing: no payment provider is connected and nothing is charged.");
    std::weak_ptr<PaymentQueue> weak = weak_from_this();
    sheet.actions.push_back({text("STORE_CANCEL", "Cancel"), AlertAction::Style::Cancel, [weak, transaction] {
                                 if (auto self = weak.lock())
                                     static_cast<LocalPaymentQueue&>(*self).failTransaction(
                                         transaction, StoreError::paymentCancelled,
                                         text("STORE_CANCELLED", "The purchase was cancelled."));
                             }});
    sheet.actions.push_back({text("STORE_BUY", "Buy"), AlertAction::Style::Default, [weak, transaction, sold = *sold] {
                                 if (auto self = weak.lock())
                                     static_cast<LocalPaymentQueue&>(*self).buy(transaction, sold);
                             }});
    window->present(std::move(sheet));
}

void LocalPaymentQueue::buy(const std::shared_ptr<PaymentTransaction>& transaction, const LocalProduct& product)
{
    switch (product.outcome) {
    case LocalProduct::Outcome::defer:
        transaction->transactionState = PaymentTransactionState::deferred;
        reportUpdated({transaction});
        return;
    case LocalProduct::Outcome::fail:
        failTransaction(transaction, StoreError::unknown, text("STORE_DECLINED", "The store could not complete the purchase."));
        return;
    case LocalProduct::Outcome::purchase:
        break;
    }
    auto purchases = files_.purchases();
    LocalPurchase purchase{product.product.productIdentifier, makeUUIDString(),
                           std::chrono::duration_cast<std::chrono::seconds>(now().time_since_epoch()).count(), false};
    if (purchases) {
        purchases->push_back(purchase);
        if (files_.record(*purchases)) {
            transaction->transactionState = PaymentTransactionState::purchased;
            transaction->transactionIdentifier = purchase.transactionIdentifier;
            reportUpdated({transaction});
            return;
        }
    }
    LOG_ERROR("local store: the purchase of " + product.product.productIdentifier + " could not be recorded");
    failTransaction(transaction, StoreError::unknown, text("STORE_NOT_RECORDED", "The purchase could not be recorded."));
}

void LocalPaymentQueue::failTransaction(const std::shared_ptr<PaymentTransaction>& transaction, long code,
                                        const std::string& description)
{
    transaction->transactionState = PaymentTransactionState::failed;
    transaction->error = StoreError{code, description};
    reportUpdated({transaction});
}

void LocalPaymentQueue::finishTransactionImpl(const PaymentTransaction& transaction)
{
    if (transaction.transactionState != PaymentTransactionState::purchased || !transaction.transactionIdentifier)
        return;
    auto purchases = files_.purchases();
    if (!purchases)
        return;
    const auto found = std::find_if(purchases->begin(), purchases->end(), [&](const LocalPurchase& purchase) {
        return purchase.transactionIdentifier == *transaction.transactionIdentifier;
    });
    if (found == purchases->end() || found->finished)
        return;
    found->finished = true;
    if (!files_.record(*purchases))
        LOG_ERROR("local store: cannot record the finished transaction " + found->transactionIdentifier);
}

void LocalPaymentQueue::restoreCompletedTransactionsImpl()
{
    const auto purchases = files_.purchases();
    if (!purchases) {
        reportRestoreFailed({StoreError::unknown, text("STORE_NOT_READ", "The earlier purchases cannot be read.")});
        return;
    }
    std::vector<std::shared_ptr<PaymentTransaction>> restored;
    for (const auto& purchase : *purchases) {
        auto transaction = std::make_shared<PaymentTransaction>();
        transaction->payment.productIdentifier = purchase.productIdentifier;
        transaction->transactionState = PaymentTransactionState::restored;
        transaction->transactionIdentifier = makeUUIDString();
        transaction->originalTransaction = purchasedTransaction(purchase);
        restored.push_back(std::move(transaction));
    }
    if (!restored.empty())
        reportUpdated(std::move(restored));
    reportRestoreFinished();
}

void LocalPaymentQueue::observerAddedImpl(const std::shared_ptr<PaymentTransactionObserver>& observer)
{
    std::vector<std::shared_ptr<PaymentTransaction>> unfinished;
    for (const auto& purchase : files_.purchases().value_or(std::vector<LocalPurchase>{}))
        if (!purchase.finished)
            unfinished.push_back(purchasedTransaction(purchase));
    if (!unfinished.empty())
        reportUpdatedTo(observer, std::move(unfinished));
}

} // namespace platform
