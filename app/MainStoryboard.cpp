#include "app/MainStoryboard.h"

#include "webcontainer/ViewController.h"

std::shared_ptr<platform::Screen> instantiateInitialScreen()
{
    return std::make_shared<ViewController>();
}
