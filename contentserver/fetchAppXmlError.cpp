#include "contentserver/fetchAppXmlError.h"

namespace {

std::string prefix(fetchAppXmlError::Kind kind)
{
    switch (kind) {
    case fetchAppXmlError::Kind::no_INTERNET_CONNECTION: return "No Internet connection available: ";
    case fetchAppXmlError::Kind::failed_URL_GENERATION: return "Failed to generate url: ";
    case fetchAppXmlError::Kind::cannot_OPEN_URL: return "Cannot open URL: ";
    case fetchAppXmlError::Kind::wrong_STATUS_CODE: return "Wrong status code: ";
    case fetchAppXmlError::Kind::custom: return "custom error: ";
    }
    return "";
}

} // namespace

fetchAppXmlError::fetchAppXmlError(Kind kind, const std::string& text)
    : std::runtime_error(prefix(kind) + text), kind_(kind), text_(text)
{
}
