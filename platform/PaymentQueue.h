#pragma once
// The store's payment queue: payments are added to it, it reports every change of their
// transactions to its observers, and a transaction stays in it until the application
// finishes it. A purchased transaction the application has not finished is reported again to
// an observer added later (also after a restart), so no purchase is lost between the payment
// and its delivery. Restoring reports each earlier purchase as a restored transaction, then
// that restoring has finished (or failed).
//
// Main thread only; observers are told on the main queue, never inside the call that caused
// the change. The queue holds its observers weakly: an observer that is gone hears nothing.
// The queue is held shared (the installed platform holds it); reports waiting for the main
// queue hold it weakly.

#include "platform/PaymentTransaction.h"
#include "platform/StoreProduct.h"

#include <memory>
#include <vector>

namespace platform {

class PaymentQueue;

class PaymentTransactionObserver {
public:
    virtual ~PaymentTransactionObserver() = default;
    virtual void paymentQueueUpdatedTransactions(PaymentQueue& queue,
                                                 const std::vector<std::shared_ptr<PaymentTransaction>>& transactions) = 0;
    virtual void paymentQueueRestoreCompletedTransactionsFinished(PaymentQueue& queue) {}
    virtual void paymentQueueRestoreCompletedTransactionsFailed(PaymentQueue& queue, const StoreError& error) {}
};

class PaymentQueue : public std::enable_shared_from_this<PaymentQueue> {
public:
    virtual ~PaymentQueue() = default;

    // Whether this user may make payments at all.
    bool canMakePayments();
    void addTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer);
    void removeTransactionObserver(const PaymentTransactionObserver& observer);
    // Starts a payment for `product`.
    void add(const StoreProduct& product);
    // Takes `transaction` out of the queue for good.
    void finishTransaction(const PaymentTransaction& transaction);
    void restoreCompletedTransactions();

protected:
    virtual bool canMakePaymentsImpl() = 0;
    virtual void addImpl(const StoreProduct& product) = 0;
    virtual void finishTransactionImpl(const PaymentTransaction& transaction) = 0;
    virtual void restoreCompletedTransactionsImpl() = 0;
    // An observer was added: report what it must still hear (unfinished purchases).
    virtual void observerAddedImpl(const std::shared_ptr<PaymentTransactionObserver>& observer) {}

    // For implementations: tells every observer on the main queue. A report carries copies of
    // the transactions as they are at the call, so a later change is a report of its own.
    void reportUpdated(std::vector<std::shared_ptr<PaymentTransaction>> transactions);
    void reportRestoreFinished();
    void reportRestoreFailed(StoreError error);
    // The same for one observer.
    void reportUpdatedTo(const std::weak_ptr<PaymentTransactionObserver>& observer,
                         std::vector<std::shared_ptr<PaymentTransaction>> transactions);

private:
    template <class Call>
    void tellObservers(Call call);

    std::vector<std::weak_ptr<PaymentTransactionObserver>> observers_;
};

} // namespace platform
