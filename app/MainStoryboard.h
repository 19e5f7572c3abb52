#pragma once
// The screens the application starts with. Main thread only.

#include "platform/Screen.h"

#include <memory>

// The first screen the application's window shows.
std::shared_ptr<platform::Screen> instantiateInitialScreen();
