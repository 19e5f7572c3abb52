#pragma once
// The failures of an update check, each with a text; what() is a fixed prefix per kind
// followed by that text ("No Internet connection available: false"). A plain value, thrown
// by the update check on its caller's thread and by parseXML on the thread that calls it.

#include <stdexcept>
#include <string>

class fetchAppXmlError : public std::runtime_error {
public:
    enum class Kind {
        no_INTERNET_CONNECTION, // "No Internet connection available: "
        failed_URL_GENERATION,  // "Failed to generate url: "
        cannot_OPEN_URL,        // "Cannot open URL: "
        wrong_STATUS_CODE,      // "Wrong status code: "
        custom,                 // "custom error: "
    };

    fetchAppXmlError(Kind kind, const std::string& text);

    Kind kind() const { return kind_; }
    const std::string& text() const { return text_; }

private:
    Kind kind_;
    std::string text_;
};
