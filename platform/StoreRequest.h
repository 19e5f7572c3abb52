#pragma once
// A request to the store: a products request (the products of a set of identifiers) or a
// receipt refresh (the store writes the receipt again at the receipt URL, portable/Bundle.h). A
// started request ends exactly once, unless it is cancelled first:
//   products request: productsRequestDidReceiveResponse, then requestDidFinish;
//   receipt refresh:  requestDidFinish;
//   failure (either): requestDidFail alone.
// A cancelled request tells its delegate nothing more.
//
// Main thread only; the delegate is told on the main queue, after start() returned. The
// request holds its delegate weakly; a started request keeps itself alive until it ends or is
// cancelled, so its maker need not hold it.

#include "platform/PaymentTransaction.h"
#include "platform/StoreProduct.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace platform {

class StoreRequest;

struct ProductsResponse {
    // The products found, in the store's order.
    std::vector<StoreProduct> products;
    // Requested identifiers the store does not sell.
    std::vector<std::string> invalidProductIdentifiers;
};

class StoreRequestDelegate {
public:
    virtual ~StoreRequestDelegate() = default;
    virtual void productsRequestDidReceiveResponse(StoreRequest& request, const ProductsResponse& response) {}
    virtual void requestDidFinish(StoreRequest& request) {}
    virtual void requestDidFail(StoreRequest& request, const StoreError& error) {}
};

class StoreRequest : public std::enable_shared_from_this<StoreRequest> {
public:
    enum class Kind { products, receiptRefresh };

    explicit StoreRequest(Kind kind, std::set<std::string> productIdentifiers = {})
        : kind_(kind), productIdentifiers_(std::move(productIdentifiers))
    {
    }
    StoreRequest(const StoreRequest&) = delete;
    StoreRequest& operator=(const StoreRequest&) = delete;
    virtual ~StoreRequest() = default;

    Kind kind() const { return kind_; }
    // What a products request asks about.
    const std::set<std::string>& productIdentifiers() const { return productIdentifiers_; }

    void setDelegate(std::weak_ptr<StoreRequestDelegate> delegate);
    // Starts the request; a second start does nothing.
    void start();
    // Ends the request without telling the delegate anything more.
    void cancel();
    bool isCancelled() const { return cancelled_; }

protected:
    virtual void startImpl() = 0;

    // For implementations, from the main queue: the request ended. Each tells the delegate
    // unless the request was cancelled or has ended already.
    void respond(const ProductsResponse& response);
    void finish();
    void fail(const StoreError& error);

private:
    std::shared_ptr<StoreRequestDelegate> delegateIfRunning();

    Kind kind_;
    std::set<std::string> productIdentifiers_;
    std::weak_ptr<StoreRequestDelegate> delegate_;
    bool started_ = false;
    bool cancelled_ = false;
    bool ended_ = false;
};

} // namespace platform
