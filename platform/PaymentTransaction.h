#pragma once
// A payment and the transaction the payment queue makes of it, with the states a transaction
// passes through. Plain values, safe to copy to any thread; the queue hands them out shared.

#include <memory>
#include <optional>
#include <string>

namespace platform {

// The raw values are the store's own; a queue may report a state this list lacks.
enum class PaymentTransactionState : int { purchasing = 0, purchased = 1, failed = 2, restored = 3, deferred = 4 };

struct StoreError {
    // The user cancelled the payment.
    static constexpr long paymentCancelled = 2;
    // Anything else: the store could not complete the request.
    static constexpr long unknown = 0;

    long code = unknown;
    std::string localizedDescription;
};

struct Payment {
    std::string productIdentifier;
};

struct PaymentTransaction {
    Payment payment;
    PaymentTransactionState transactionState = PaymentTransactionState::purchasing;
    // Set once the store has taken the payment (purchased, restored).
    std::optional<std::string> transactionIdentifier;
    // Why a failed transaction failed.
    std::optional<StoreError> error;
    // For a restored transaction: the purchase it restores.
    std::shared_ptr<const PaymentTransaction> originalTransaction;
};

} // namespace platform
