#include "contentserver/XmlValue.h"

#include "logger/Logger.h"

#include <pugixml.hpp>

std::optional<std::string> getXmlStrVal(const std::string& elementName, const pugi::xml_node& document,
                                        const std::string& rootName)
{
    const pugi::xml_node root = document.child(rootName.c_str());
    if (!root) {
        LOG_ERROR("XML parsing error: element \"" + rootName + "\" not found");
        return std::nullopt;
    }
    const pugi::xml_node element = root.child(elementName.c_str());
    if (!element) {
        LOG_ERROR("XML parsing error: element \"" + elementName + "\" not found in \"" + rootName + "\"");
        return std::nullopt;
    }
    // The element's own text: its text and CDATA children, joined.
    std::string text;
    for (const pugi::xml_node child : element.children())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            text += child.value();
    return text;
}
