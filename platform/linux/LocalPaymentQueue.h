#pragma once
// The payment queue of the local store (LocalStoreFiles.h): a payment for a product of the
// product file shows a confirmation sheet (Cancel / Buy) over the application's window; Buy
// records the purchase and rewrites the receipt, Cancel fails the transaction as cancelled by
// the user. A product whose outcome is "defer" waits for approval for ever; one whose outcome
// is "fail" fails with a store error. Restoring reports every recorded purchase. No payment
// provider is connected: nothing is charged.
//
// Main thread only, as every payment queue (PaymentQueue.h).

#include "platform/PaymentQueue.h"
#include "platform/linux/LocalStoreFiles.h"

namespace platform {

class LocalPaymentQueue final : public PaymentQueue {
public:
    explicit LocalPaymentQueue(LocalStoreFiles files);

protected:
    bool canMakePaymentsImpl() override;
    void addImpl(const StoreProduct& product) override;
    void finishTransactionImpl(const PaymentTransaction& transaction) override;
    void restoreCompletedTransactionsImpl() override;
    void observerAddedImpl(const std::shared_ptr<PaymentTransactionObserver>& observer) override;

private:
    // The user pressed Buy for `transaction` of `product`.
    void buy(const std::shared_ptr<PaymentTransaction>& transaction, const LocalProduct& product);
    void failTransaction(const std::shared_ptr<PaymentTransaction>& transaction, long code, const std::string& description);

    LocalStoreFiles files_;
};

} // namespace platform
