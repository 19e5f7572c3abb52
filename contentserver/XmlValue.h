#pragma once
// Reading one value of a parsed XML reply. Safe from any thread for documents that are not
// changed meanwhile.

#include <optional>
#include <string>

namespace pugi {
class xml_node;
}

// The text of the element `elementName` inside the element `rootName` at the top of
// `document`; nothing (and "XML parsing error: " logged) when either element is missing.
std::optional<std::string> getXmlStrVal(const std::string& elementName, const pugi::xml_node& document,
                                        const std::string& rootName);
