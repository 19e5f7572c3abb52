// The XML value helper on hostile replies: it never crashes, it answers exactly when the root
// and the element are there, and a text stored in an element and written out comes back whole.

#include "contentserver/XmlValue.h"
#include "fuzz/FuzzCheck.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // The bytes as a reply: the names the update reply uses.
    pugi::xml_document reply;
    if (reply.load_buffer(bytes.data(), bytes.size())) {
        for (const char* name : {"type", "date", "path", "sha1", "size", "script", "landingpage"}) {
            const auto value = getXmlStrVal(name, reply, "response");
            FUZZ_CHECK(value.has_value() == static_cast<bool>(reply.child("response").child(name)));
        }
    }

    // The bytes as a text inside an element, written out and read again.
    pugi::xml_document document;
    document.append_child("response").append_child("script").append_child(pugi::node_pcdata).set_value(bytes.c_str());
    std::ostringstream written;
    document.save(written);
    pugi::xml_document reread;
    if (!reread.load_string(written.str().c_str()))
        return 0;
    const auto value = getXmlStrVal("script", reread, "response");
    FUZZ_CHECK(value.has_value());
    // A text up to its first NUL; line ends are normalised and blank texts dropped by the parser.
    const std::string text = bytes.c_str();
    if (text.find('\r') == std::string::npos && text.find_first_not_of(" \t\n") != std::string::npos)
        FUZZ_CHECK(*value == text);
    return 0;
}
