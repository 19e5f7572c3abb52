#pragma once
// Calls from the native side into the page. Every answer to the page goes through these two
// functions: callJS runs a finished script, callJsCallback calls a page function by name with
// one text argument. Bridge commands and services reach them through a PageReply.
//
// Both may be called from any thread. They build the script on the caller's thread and
// evaluate it later on the main queue, in the order of the calls. They take the web view
// weakly and turn it into a strong reference only inside the task on the main queue, so a
// caller on a worker thread never holds the web view: a web view destroyed before the task
// runs is skipped, and its last reference is always dropped on the main thread. Nothing is
// queued for an absent web view; callers that must not lose a script push it onto
// Config::stackOfJScript themselves. The script's result never comes back; a failure in the
// page is logged at debug level.

#include "platform/WebView.h"

#include <memory>
#include <optional>
#include <string>

// Evaluates `script` in `wView`; does nothing when `wView` is empty or gone. A strong
// reference converts, so callers on the main thread pass the web view they hold.
void callJS(const std::string& script, const std::weak_ptr<platform::WebView>& wView);

// Calls the page function `callBackMethod` with `callBackMethodParameter` as one JavaScript
// string literal in double quotes, or with no argument at all when the parameter is empty:
//   name("escaped parameter")   or   name()
// The parameter is escaped with escapeJavaScriptString (JavaScriptString.h), so the page
// receives exactly the text given. Does nothing when `owView` is null or gone. An absent name,
// or the name "null" (case-sensitive), is refused and logged at error level; an empty name is
// not.
void callJsCallback(const std::optional<std::string>& callBackMethod, const std::string& callBackMethodParameter,
                    const std::weak_ptr<platform::WebView>& owView);
