#pragma once
// The store's doubles: a payment queue that records payments, finished transactions and
// restores and reports whatever the test tells it to; store requests that record being
// started and cancelled and end when the test says.

#include "platform/PaymentQueue.h"
#include "platform/StoreRequest.h"

#include <string>
#include <vector>

namespace testsupport {

class FakePaymentQueue final : public platform::PaymentQueue {
public:
    bool canMakePaymentsValue = true;
    std::vector<std::string> payments;
    std::vector<platform::PaymentTransaction> finished;
    int restores = 0;

    // Reports on the main queue, as a store does.
    using PaymentQueue::reportRestoreFailed;
    using PaymentQueue::reportRestoreFinished;
    using PaymentQueue::reportUpdated;

protected:
    bool canMakePaymentsImpl() override { return canMakePaymentsValue; }
    void addImpl(const platform::StoreProduct& product) override { payments.push_back(product.productIdentifier); }
    void finishTransactionImpl(const platform::PaymentTransaction& transaction) override { finished.push_back(transaction); }
    void restoreCompletedTransactionsImpl() override { ++restores; }
};

class FakeStoreRequest final : public platform::StoreRequest {
public:
    using StoreRequest::StoreRequest;
    bool started = false;

    // Ends the request as the store would (call from the main thread).
    using StoreRequest::fail;
    using StoreRequest::finish;
    using StoreRequest::respond;

protected:
    void startImpl() override { started = true; }
};

} // namespace testsupport
