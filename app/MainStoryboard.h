#pragma once
// The screens the application starts with and the segue between them: the splash screen is
// the initial screen; its segue "showApp" puts the web screen in its place, handing it any web
// view the splash screen made for the first page. Main thread only.

#include "platform/Screen.h"
#include "webcontainer/ViewController.h"

#include <memory>
#include <string>

// The first screen the application's window shows: the splash screen.
std::shared_ptr<platform::Screen> instantiateInitialScreen();
// The web screen, for a start without the splash screen.
std::shared_ptr<platform::Screen> instantiateWebScreen();
// Performs the segue `identifier` from `sender`, the root screen of its window. "showApp"
// replaces it by the web screen, whose first page goes into `prepared` when there is one made
// with the configuration the screen uses then (else into a new web view); any other identifier
// is a programming error that aborts.
void performSegue(const std::string& identifier, platform::Screen& sender,
                  ViewController::PreparedWebView prepared = {});
