#include "platform/PaymentQueue.h"

#include "portable/Check.h"
#include "portable/Dispatch.h"

#include <algorithm>

namespace platform {

bool PaymentQueue::canMakePayments()
{
    requireMainThread();
    return canMakePaymentsImpl();
}

void PaymentQueue::addTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer)
{
    requireMainThread();
    WEBCONTAINER_CHECK(observer);
    observers_.push_back(observer);
    observerAddedImpl(observer);
}

void PaymentQueue::removeTransactionObserver(const PaymentTransactionObserver& observer)
{
    requireMainThread();
    std::erase_if(observers_, [&](const auto& weak) {
        const auto held = weak.lock();
        return !held || held.get() == &observer;
    });
}

void PaymentQueue::add(const StoreProduct& product)
{
    requireMainThread();
    addImpl(product);
}

void PaymentQueue::finishTransaction(const PaymentTransaction& transaction)
{
    requireMainThread();
    finishTransactionImpl(transaction);
}

void PaymentQueue::restoreCompletedTransactions()
{
    requireMainThread();
    restoreCompletedTransactionsImpl();
}

template <class Call>
void PaymentQueue::tellObservers(Call call)
{
    mainQueue().async([weak = weak_from_this(), call = std::move(call)] {
        const auto queue = weak.lock();
        if (!queue)
            return;
        // An observer may add or remove observers while it runs.
        const auto observers = queue->observers_;
        for (const auto& observer : observers)
            if (const auto held = observer.lock())
                call(*queue, *held);
    });
}

namespace {

// The transactions as they are now: a store goes on changing its own objects (purchasing, then
// failed) before an earlier report has run.
std::vector<std::shared_ptr<PaymentTransaction>> snapshot(const std::vector<std::shared_ptr<PaymentTransaction>>& transactions)
{
    std::vector<std::shared_ptr<PaymentTransaction>> copies;
    copies.reserve(transactions.size());
    for (const auto& transaction : transactions)
        copies.push_back(std::make_shared<PaymentTransaction>(*transaction));
    return copies;
}

} // namespace

void PaymentQueue::reportUpdated(std::vector<std::shared_ptr<PaymentTransaction>> transactions)
{
    tellObservers([transactions = snapshot(transactions)](PaymentQueue& queue, PaymentTransactionObserver& observer) {
        observer.paymentQueueUpdatedTransactions(queue, transactions);
    });
}

void PaymentQueue::reportRestoreFinished()
{
    tellObservers([](PaymentQueue& queue, PaymentTransactionObserver& observer) {
        observer.paymentQueueRestoreCompletedTransactionsFinished(queue);
    });
}

void PaymentQueue::reportRestoreFailed(StoreError error)
{
    tellObservers([error = std::move(error)](PaymentQueue& queue, PaymentTransactionObserver& observer) {
        observer.paymentQueueRestoreCompletedTransactionsFailed(queue, error);
    });
}

void PaymentQueue::reportUpdatedTo(const std::weak_ptr<PaymentTransactionObserver>& observer,
                                   std::vector<std::shared_ptr<PaymentTransaction>> transactions)
{
    mainQueue().async([weak = weak_from_this(), observer, transactions = snapshot(transactions)] {
        const auto queue = weak.lock();
        const auto held = observer.lock();
        if (queue && held)
            held->paymentQueueUpdatedTransactions(*queue, transactions);
    });
}

} // namespace platform
