#include "platform/linux/LinuxWebView.h"

#include "logger/Logger.h"
#include "platform/linux/BoxedPtr.h"
#include "platform/linux/GuardedCall.h"
#include "platform/linux/JSCValueText.h"
#include "portable/Dispatch.h"

#include <cmath>

namespace platform {
namespace {

// A downward swipe must be at least this fast (pixels per second) and mostly vertical.
constexpr double kSwipeVelocity = 300.0;

// The extension that confines the page's file reads (built from platform/linux/extension/).
constexpr char kReadAccessExtension[] = "libwebcontainer_read_access.so";

using ScriptDialogPtr = gtk::BoxedPtr<WebKitScriptDialog, webkit_script_dialog_ref, webkit_script_dialog_unref>;

WebView::NavigationError makeError(const GError* error, const char* uri)
{
    WebView::NavigationError result;
    result.domain = g_quark_to_string(error->domain);
    result.code = error->code;
    result.localizedDescription = error->message ? error->message : "";
    if (uri && *uri)
        result.failingURL = uri;
    result.cancelled = g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED);
    return result;
}

// The failure of a load refused because its file lies outside the page's folder.
WebView::NavigationError refusedLoad(const char* uri)
{
    WebView::NavigationError result;
    result.domain = g_quark_to_string(WEBKIT_POLICY_ERROR);
    result.code = WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE;
    result.localizedDescription = "The file lies outside the page's folder";
    result.failingURL = uri;
    result.refused = true;
    return result;
}

struct EvaluationData {
    WebView::ScriptCompletion completion;
};

void evaluationFinished(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<EvaluationData> evaluation(static_cast<EvaluationData*>(data));
    g_autoptr(GError) error = nullptr;
    const auto value =
        gtk::GObjectPtr<JSCValue>::adopt(gtk::evaluateJavaScriptFinish(WEBKIT_WEB_VIEW(source), result, &error));
    // Without a completion nobody reads the outcome: the result's text is not made.
    if (!evaluation)
        return;
    WebView::ScriptResult outcome;
    if (error)
        outcome.error = error->message ? error->message : "evaluation failed";
    else if (value && !jsc_value_is_undefined(value.get()))
        outcome.value = gtk::textOf(value.get());
    gtk::guardedCall("evaluate-javascript", [&] { evaluation->completion(outcome); });
}

} // namespace

LinuxWebView::LinuxWebView(const WebViewConfiguration& configuration, bool sandboxed,
                           const std::filesystem::path& extensionsFolder, const gtk::WebsiteDataFolders& websiteData)
    : readAccess_(configuration.readAccessFolder)
{
    // Everything the page's process is started with comes before the view: the view starts the
    // process (below), and the engine aborts on sandbox paths given later.
    context_ = gtk::GObjectPtr<WebKitWebContext>::adopt(
        gtk::newWebContext(websiteData.data.string(), websiteData.cache.string()));
    const std::string folder = readAccess_.folder().string();
    webkit_web_context_set_sandbox_enabled(context_.get(), sandboxed);
    if (sandboxed && !folder.empty())
        webkit_web_context_add_path_to_sandbox(context_.get(), folder.c_str(), TRUE);
    // Without the extension nothing confines a page's reads: it then reads no other file at all.
    const bool confined = std::filesystem::exists(extensionsFolder / kReadAccessExtension);
    if (!confined)
        LOG_ERROR("The web-process extension " + (extensionsFolder / kReadAccessExtension).string() +
                  " is missing: pages may not read other files");
    webkit_web_context_set_web_extensions_directory(context_.get(), extensionsFolder.c_str());
    webkit_web_context_set_web_extensions_initialization_user_data(context_.get(), g_variant_new_string(folder.c_str()));

    contentManager_ = gtk::GObjectPtr<WebKitUserContentManager>::adopt(webkit_user_content_manager_new());
    for (const auto& name : configuration.scriptMessageHandlers) {
        gtk::registerScriptMessageHandler(contentManager_.get(), name.c_str());
        auto handler = std::make_unique<MessageHandler>(MessageHandler{this, name});
        const std::string signal = "script-message-received::" + name;
        signals_.connect(contentManager_.get(), signal.c_str(), G_CALLBACK(onScriptMessage), handler.get());
        messageHandlers_.push_back(std::move(handler));
    }

    const auto settings = gtk::GObjectPtr<WebKitSettings>::adopt(webkit_settings_new());
    webkit_settings_set_allow_file_access_from_file_urls(settings.get(),
                                                         confined && configuration.allowFileAccessFromFileURLs);
    webkit_settings_set_media_playback_allows_inline(settings.get(), configuration.allowsInlineMediaPlayback);
    webkit_settings_set_enable_back_forward_navigation_gestures(settings.get(),
                                                                configuration.allowsBackForwardNavigationGestures);

    view_ = gtk::GObjectPtr<WebKitWebView>::ref(
        WEBKIT_WEB_VIEW(gtk::newWebView(context_.get(), contentManager_.get(), settings.get())));
    if (configuration.transparentBackground) {
        const GdkRGBA clear{0, 0, 0, 0};
        webkit_web_view_set_background_color(view_.get(), &clear);
    }

    signals_.connect(view_.get(), "load-changed", G_CALLBACK(onLoadChanged), this);
    signals_.connect(view_.get(), "load-failed", G_CALLBACK(onLoadFailed), this);
    signals_.connect(view_.get(), "decide-policy", G_CALLBACK(onDecidePolicy), this);
    signals_.connect(view_.get(), "web-process-terminated", G_CALLBACK(onProcessTerminated), this);
    signals_.connect(view_.get(), "script-dialog", G_CALLBACK(onScriptDialog), this);

    swipe_ = gtk::GObjectPtr<GtkGesture>::adopt(gtk::newSwipeGesture(widget()));
    signals_.connect(swipe_.get(), "swipe", G_CALLBACK(onSwipe), this);

    // The engine would start the page's process at the first load, which then waits some 200 ms
    // for it. An evaluation in the empty document starts it now, without a navigation or a
    // history entry: a view made ahead of its first page (during the splash screen) has its
    // process ready when the page comes.
    gtk::evaluateJavaScript(view_.get(), "0", evaluationFinished, nullptr);
}

LinuxWebView::~LinuxWebView()
{
    signals_.disconnectAll();
    swipe_.reset();
    if (view_)
        gtk::destroyWidget(widget());
}

void LinuxWebView::evaluateJavaScriptImpl(const std::string& script, ScriptCompletion completion)
{
    // The engine keeps the view alive until the evaluation ends; the completion never needs us.
    gtk::evaluateJavaScript(view_.get(), script, evaluationFinished,
                            completion ? new EvaluationData{std::move(completion)} : nullptr);
}

void LinuxWebView::loadFileURLImpl(const std::filesystem::path& file, const std::filesystem::path&)
{
    // What the page may read was fixed at creation (readAccessFolder); the policy refuses a
    // file outside it like any other navigation.
    g_autofree char* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
    const auto request =
        gtk::GObjectPtr<WebKitURIRequest>::adopt(webkit_uri_request_new(uri ? uri : "about:blank"));
    // The request holds the URL as the engine writes it ("." and ".." applied), which is how
    // the policy question for this load names it.
    ownLoad_ = webkit_uri_request_get_uri(request.get());
    webkit_web_view_load_request(view_.get(), request.get());
}

std::optional<std::string> LinuxWebView::urlImpl() const
{
    const char* uri = webkit_web_view_get_uri(view_.get());
    if (!uri || !*uri)
        return std::nullopt;
    return std::string(uri);
}

std::shared_ptr<LinuxWebView> LinuxWebView::lock(gpointer self)
{
    return std::static_pointer_cast<LinuxWebView>(static_cast<LinuxWebView*>(self)->weak_from_this().lock());
}

void LinuxWebView::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self)
{
    auto view = lock(self);
    if (!view)
        return;
    switch (event) {
    case WEBKIT_LOAD_STARTED:
        view->committed_ = false;
        view->failed_ = false;
        break;
    case WEBKIT_LOAD_COMMITTED:
        view->committed_ = true;
        break;
    case WEBKIT_LOAD_FINISHED:
        // The engine ends a failed load with "finished" too; that is no finished navigation.
        if (!view->failed_)
            gtk::guardedCall("load-changed", [&] { view->didFinishNavigation(); });
        break;
    case WEBKIT_LOAD_REDIRECTED:
        break;
    }
}

gboolean LinuxWebView::onLoadFailed(WebKitWebView*, WebKitLoadEvent, char* uri, GError* error, gpointer self)
{
    auto view = lock(self);
    if (!view)
        return TRUE;
    view->failed_ = true;
    const auto failure = makeError(error, uri);
    gtk::guardedCall("load-failed", [&] {
        if (view->committed_)
            view->didFailNavigation(failure);
        else
            view->didFailProvisionalNavigation(failure);
    });
    // Handled: the engine shows no error page of its own (it would count as a finished load).
    return TRUE;
}

gboolean LinuxWebView::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                      gpointer self)
{
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE; // responses: the engine's default
    auto view = lock(self);
    WebKitNavigationAction* navigation =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    WebKitURIRequest* request = navigation ? webkit_navigation_action_get_request(navigation) : nullptr;
    const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
    const bool ownLoad = view && uri && view->ownLoad_ == uri;
    if (ownLoad)
        view->ownLoad_.clear();
    if (!view || (uri && !view->readAccess_.allows(uri))) {
        webkit_policy_decision_ignore(decision);
        if (!view)
            return TRUE;
        LOG_WARNING(std::string("Navigation to a file outside the page's folder cancelled: ") + uri);
        // The engine reports nothing for a load it never started; refusing the view's own load
        // leaves it blank, so that is reported as the load's failure.
        if (ownLoad)
            gtk::guardedCall("decide-policy", [&] { view->didFailProvisionalNavigation(refusedLoad(uri)); });
        return TRUE;
    }

    NavigationAction action;
    if (uri && *uri)
        action.url = uri;
    action.targetsNewWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;

    // The answer may come later; the reference goes with the last copy of the handler.
    auto held = std::make_shared<gtk::GObjectPtr<WebKitPolicyDecision>>(
        gtk::GObjectPtr<WebKitPolicyDecision>::ref(decision));
    gtk::guardedCall("decide-policy", [&] {
        view->decidePolicy(action, [held](NavigationActionPolicy policy) {
            if (policy == NavigationActionPolicy::allow)
                webkit_policy_decision_use(held->get());
            else
                webkit_policy_decision_ignore(held->get());
        });
    });
    return TRUE;
}

void LinuxWebView::onProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self)
{
    auto view = lock(self);
    if (!view)
        return;
    gtk::guardedCall("web-process-terminated", [&] { view->webContentProcessDidTerminate(); });
}

gboolean LinuxWebView::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self)
{
    ScriptDialog request;
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
        request.type = ScriptDialog::Type::alert;
        break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        request.type = ScriptDialog::Type::confirm;
        break;
    default:
        return FALSE; // prompt() and the leave-page question: the engine's own dialog
    }
    const char* message = webkit_script_dialog_get_message(dialog);
    request.message = message ? message : "";

    auto view = lock(self);
    if (!view)
        return FALSE;
    // The answer may come later; the reference goes with the last copy of the answer. The
    // dialog is closed from the main queue, never inside this signal: the engine forgets a
    // dialog closed during its signal and then releases nothing (it crashes). An owner whose
    // handler throws has taken the dialog all the same: its answer, or the one a dropped answer
    // gives, closes it, so the engine must not show its own.
    bool handled = true;
    gtk::guardedCall("script-dialog", [&] {
        handled = view->runScriptDialog(request, [held = ScriptDialogPtr::ref(dialog)](bool confirmed) {
            mainQueue().async([held, confirmed] {
                if (webkit_script_dialog_get_dialog_type(held.get()) == WEBKIT_SCRIPT_DIALOG_CONFIRM)
                    webkit_script_dialog_confirm_set_confirmed(held.get(), confirmed);
                webkit_script_dialog_close(held.get());
            });
        });
    });
    return handled;
}

void LinuxWebView::onScriptMessage(WebKitUserContentManager*, gtk::ScriptMessageArgument* message, gpointer data)
{
    auto* handler = static_cast<MessageHandler*>(data);
    auto view = lock(handler->owner);
    if (!view)
        return;
    const std::optional<std::string> body = gtk::scriptMessageText(message);
    // What the message's handling posts to the main queue (the page's answer, above all) runs
    // as soon as it returns rather than one main-loop pass later, which costs a round trip tens
    // of microseconds. Only when nothing older waits there, so the main queue keeps its order.
    const bool answerAtOnce = mainQueueIsIdle();
    gtk::guardedCall("script-message-received", [&] { view->didReceiveScriptMessage(handler->name, body); });
    if (answerAtOnce)
        runMainQueueNow();
}

void LinuxWebView::onSwipe(GtkGestureSwipe*, gdouble velocityX, gdouble velocityY, gpointer self)
{
    if (velocityY < kSwipeVelocity || std::fabs(velocityY) < std::fabs(velocityX))
        return;
    auto view = lock(self);
    if (!view)
        return;
    gtk::guardedCall("swipe", [&] { view->didSwipeDown(); });
}

} // namespace platform
