#include "platform/linux/LocalStoreRequest.h"

#include "portable/Bundle.h"
#include "portable/Dispatch.h"

namespace platform {

LocalStoreRequest::LocalStoreRequest(LocalStoreFiles files, Kind kind, std::set<std::string> productIdentifiers)
    : StoreRequest(kind, std::move(productIdentifiers)), files_(std::move(files))
{
}

void LocalStoreRequest::startImpl()
{
    // The task holds the request, so a started request lives until it has ended.
    mainQueue().async([self = std::static_pointer_cast<LocalStoreRequest>(shared_from_this())] { self->run(); });
}

void LocalStoreRequest::run()
{
    if (kind() == Kind::receiptRefresh) {
        const auto purchases = files_.purchases();
        if (purchases && files_.writeReceipt(*purchases))
            finish();
        else
            fail({StoreError::unknown, Bundle::main()->localizedString("STORE_NO_RECEIPT", "The receipt cannot be written.")});
        return;
    }
    ProductsResponse response;
    if (files_.hasProductFile()) {
        const auto catalog = files_.catalog();
        if (!catalog) {
            fail({StoreError::unknown,
                  Bundle::main()->localizedString("STORE_BROKEN_PRODUCT_FILE", "The list of products cannot be read.")});
            return;
        }
        for (const auto& product : catalog->products)
            if (productIdentifiers().contains(product.product.productIdentifier))
                response.products.push_back(product.product);
    }
    for (const auto& identifier : productIdentifiers()) {
        const bool found = std::any_of(response.products.begin(), response.products.end(),
                                       [&](const StoreProduct& product) { return product.productIdentifier == identifier; });
        if (!found)
            response.invalidProductIdentifiers.push_back(identifier);
    }
    respond(response);
}

} // namespace platform
