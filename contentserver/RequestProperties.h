#pragma once
// One update reply of the content server, read from its XML:
//   <response>
//     <type>full</type>                  nop, full, incremental or ERROR
//     <date>20240101120000</date>        the server's date of the content
//     <size>1048576</size>               size of the package, a decimal number
//     <path>/packages/p.zip</path>       a path on the server, or an address beginning "https://"
//     <sha1>…</sha1>                     kept, not checked
//     <script>…</script>                 JavaScript for the page
//     <landingpage>…</landingpage>       the page to show after the update
//     <secret>…</secret>                 the key of an encrypted package; none for a plain one
//   </response>
// Every element is optional. Made per reply, used by one thread at a time, not kept.

#include <optional>
#include <string>

namespace pugi {
class xml_node;
}

// The kind of update a reply announces; any other "type" text counts as NOP.
enum class updateTypeEnum { NOP, FULL, INCREMENTAL, ERROR };

// "nop", "full", "incremental", "ERROR".
std::string rawValue(updateTypeEnum type);
// The case whose raw value is exactly `raw` (case-sensitive); nothing for any other text.
std::optional<updateTypeEnum> updateTypeFromRawValue(const std::string& raw);

class RequestProperties {
public:
    std::string serverDateStr;
    updateTypeEnum updateType = updateTypeEnum::NOP;
    std::string updateTypeStr;
    std::string downloadFilePath;
    std::string sha1sumStr;
    double packageSize = 0;
    std::string nonce;
    std::string jScript;
    std::string landingPage;
    // The whole reply body, filled by the update check.
    std::string xmlResponse;
    std::string secretKey;

    static constexpr const char* UPDATE_TYPE = "type";
    static constexpr const char* SERVER_DATE = "date";
    static constexpr const char* FILESIZE = "size";
    static constexpr const char* URL_PATH = "path";
    static constexpr const char* SHA1 = "sha1";
    static constexpr const char* JSCRIPT = "script";
    static constexpr const char* LANDING_PAGE = "landingpage";
    static constexpr const char* SECRET = "secret";

    // Fills the fields from the elements under "response" in `document`; a missing element
    // leaves its field as it was, and so does a "size" that is not wholly a decimal number
    // (" 12", "12MB", ""). updateType follows updateTypeStr.
    void populate(const pugi::xml_node& document);
};
