#include "platform/StoreRequest.h"

#include "portable/Check.h"

namespace platform {

void StoreRequest::setDelegate(std::weak_ptr<StoreRequestDelegate> delegate)
{
    requireMainThread();
    delegate_ = std::move(delegate);
}

void StoreRequest::start()
{
    requireMainThread();
    if (started_ || cancelled_)
        return;
    started_ = true;
    startImpl();
}

void StoreRequest::cancel()
{
    requireMainThread();
    cancelled_ = true;
}

std::shared_ptr<StoreRequestDelegate> StoreRequest::delegateIfRunning()
{
    requireMainThread();
    if (cancelled_ || ended_)
        return nullptr;
    return delegate_.lock();
}

void StoreRequest::respond(const ProductsResponse& response)
{
    if (auto delegate = delegateIfRunning()) {
        delegate->productsRequestDidReceiveResponse(*this, response);
        // The response handler may have cancelled the request.
        if (auto stillRunning = delegateIfRunning())
            stillRunning->requestDidFinish(*this);
    }
    ended_ = true;
}

void StoreRequest::finish()
{
    if (auto delegate = delegateIfRunning())
        delegate->requestDidFinish(*this);
    ended_ = true;
}

void StoreRequest::fail(const StoreError& error)
{
    if (auto delegate = delegateIfRunning())
        delegate->requestDidFail(*this, error);
    ended_ = true;
}

} // namespace platform
