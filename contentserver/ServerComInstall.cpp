#include "contentserver/ServerCom.h"

#include "base/Logger.h"

// Placeholder until the installation lands: the package is left where it is.
void ServerCom::unpackUpdate(const std::filesystem::path& file, const std::filesystem::path& target)
{
    LOG_ERROR("installing packages is not built yet: " + file.string() + " -> " + target.string());
}
