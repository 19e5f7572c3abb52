#include "contentserver/RequestProperties.h"

#include "contentserver/DownloadSizeRule.h"
#include "contentserver/XmlValue.h"
#include "logger/Logger.h"

#include <pugixml.hpp>

namespace {

constexpr const char* rootNode = "response";

} // namespace

std::string rawValue(updateTypeEnum type)
{
    switch (type) {
    case updateTypeEnum::NOP: return "nop";
    case updateTypeEnum::FULL: return "full";
    case updateTypeEnum::INCREMENTAL: return "incremental";
    case updateTypeEnum::ERROR: return "ERROR";
    }
    return "";
}

std::optional<updateTypeEnum> updateTypeFromRawValue(const std::string& raw)
{
    for (auto type : {updateTypeEnum::NOP, updateTypeEnum::FULL, updateTypeEnum::INCREMENTAL, updateTypeEnum::ERROR})
        if (rawValue(type) == raw)
            return type;
    return std::nullopt;
}

void RequestProperties::populate(const pugi::xml_node& document)
{
    auto read = [&](const char* name, std::string& field) {
        if (auto text = getXmlStrVal(name, document, rootNode))
            field = std::move(*text);
    };
    read(UPDATE_TYPE, updateTypeStr);
    read(SERVER_DATE, serverDateStr);
    if (const auto size = getXmlStrVal(FILESIZE, document, rootNode)) {
        // The size shares the thresholds' number rule: wholly a decimal number.
        if (const auto value = parseThreshold(*size))
            packageSize = *value;
    }
    read(URL_PATH, downloadFilePath);
    read(SHA1, sha1sumStr);
    read(JSCRIPT, jScript);
    read(LANDING_PAGE, landingPage);
    read(SECRET, secretKey);

    if (serverDateStr.size() < 2)
        LOG_ERROR("Did not receive a date from server XML response: " + serverDateStr);
    updateType = updateTypeFromRawValue(updateTypeStr).value_or(updateTypeEnum::NOP);
}
