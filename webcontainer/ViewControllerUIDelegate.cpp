// The page's own alert() and confirm(): shown through the alert helper like every other alert
// of the system, with the information title.
#include "webcontainer/ViewController.h"

#include "base/LocalizedTexts.h"
#include "base/UIHelpers.h"

void ViewController::webViewRunScriptDialog(const platform::WebView::ScriptDialog& dialog,
                                            const platform::WebView::ScriptDialogCompletion& completion)
{
    const std::string& title = JS_ALERT_TITLES().at("INFO");
    const AlertButton ok{localizedString("OK"), [completion] { completion(true); }};
    if (dialog.type == platform::WebView::ScriptDialog::Type::confirm)
        showAlert(title, dialog.message, ok, AlertButton{localizedString("Cancel"), [completion] { completion(false); }});
    else
        showAlert(title, dialog.message, ok);
}
