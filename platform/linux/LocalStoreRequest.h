#pragma once
// A request to the local store (LocalStoreFiles.h): a products request answers the products
// of the product file that it asks about (none without a product file; a failure when the
// file is broken); a receipt refresh writes the receipt of the recorded purchases again.
// Main thread only, as every store request (StoreRequest.h).

#include "platform/StoreRequest.h"
#include "platform/linux/LocalStoreFiles.h"

namespace platform {

class LocalStoreRequest final : public StoreRequest {
public:
    LocalStoreRequest(LocalStoreFiles files, Kind kind, std::set<std::string> productIdentifiers = {});

protected:
    void startImpl() override;

private:
    void run();

    LocalStoreFiles files_;
};

} // namespace platform
