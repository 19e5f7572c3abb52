#pragma once
// Sharing a text: a dialog over the application's window that shows the subject and the text
// and offers to copy the text to the clipboard or to send both by e-mail with the desktop's
// mail program (a "mailto:" URL through the URL opener). Closing it shares nothing.
//
// Main thread only. The installed dialog lives as long as the platform.

#include <string>

namespace platform {

class ShareDialog {
public:
    virtual ~ShareDialog() = default;

    // Shows the dialog for `subject` (may be empty) and `text`.
    void present(const std::string& subject, const std::string& text);

protected:
    virtual void presentImpl(const std::string& subject, const std::string& text) = 0;
};

// Shows the installed platform's share dialog; nothing when none is installed.
void presentShareDialog(const std::string& subject, const std::string& text);

// The "mailto:" URL of an e-mail with `subject` and `body` and no recipient; every byte other
// than an unreserved one is percent-encoded (a line break as "%0A"), and an empty subject is
// left out.
std::string mailtoURL(const std::string& subject, const std::string& body);

} // namespace platform
