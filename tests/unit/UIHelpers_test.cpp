// The window on top, the one alert of the system, filling the superview, and the XML value.
#include "app/AppDelegate.h"
#include "base/UIHelpers.h"
#include "contentserver/XmlValue.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

using testsupport::FakeWindow;

TEST(UIHelpers, TopViewControllerIsTheTopmostPresentedWindow)
{
    EXPECT_EQ(topViewController(nullptr), nullptr);
    auto window = std::make_shared<FakeWindow>();
    EXPECT_EQ(topViewController(window.get()), window.get());
    window->present({"one", "", {{"OK", {}, {}}}});
    auto third = window->present({"two", "", {{"OK", {}, {}}}});
    EXPECT_EQ(topViewController(window.get()), third.get());
}

TEST(UIHelpers, ShowAlertPresentsOverTheTopOfTheDelegatesWindow)
{
    testsupport::FakePlatform fakes;
    AppDelegate delegate;
    int pressed = 0;
    // No delegate, then no window: nothing shown and nothing breaks.
    showAlert("t", "m", {"OK", [&] { ++pressed; }});
    fakes.application->run(0, nullptr, delegate);
    showAlert("t", "m", {"OK", [&] { ++pressed; }});

    delegate.window = std::make_shared<FakeWindow>();
    auto& window = static_cast<FakeWindow&>(*delegate.window);
    window.present({"below", "", {{"OK", {}, {}}}});
    showAlert("Title", "Message", {"Only", [&] { ++pressed; }});
    auto* top = window.topAlert();
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->alert()->title, "Title");
    EXPECT_EQ(top->alert()->message, "Message");
    EXPECT_EQ(top->alert()->appearance, platform::Alert::Appearance::Tinted);
    ASSERT_EQ(top->alert()->actions.size(), 1u);
    top->pressAlertButton(0);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(window.topAlert()->alert()->title, "below");

    showAlert("Two", "", {"Yes", {}}, AlertButton{"No", [&] { pressed += 10; }});
    ASSERT_EQ(window.topAlert()->alert()->actions.size(), 2u);
    window.topAlert()->pressAlertButton(1);
    EXPECT_EQ(pressed, 11);
}

TEST(UIHelpers, BindingADetachedViewIsLoggedAndChangesNothing)
{
    testsupport::LogCapture log;
    auto parent = std::make_shared<platform::View>();
    auto view = std::make_shared<platform::View>();
    bindFrameToSuperviewBounds(*view);
    EXPECT_FALSE(view->isPinnedToSuperviewEdges());
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Logger::Level::Error,
                        "Error! `superview` was nil – call `addSubview(view: UIView)` before calling "
                        "`bindFrameToSuperviewBounds()` to fix this."));
    parent->addSubview(view);
    bindFrameToSuperviewBounds(*view);
    EXPECT_TRUE(view->isPinnedToSuperviewEdges());
}

TEST(XmlValue, ReadsOneElementOfTheRoot)
{
    pugi::xml_document reply;
    ASSERT_TRUE(reply.load_string("<response><size>123</size><script><![CDATA[a<b]]></script><empty/></response>"));
    EXPECT_EQ(getXmlStrVal("size", reply, "response"), "123");
    EXPECT_EQ(getXmlStrVal("script", reply, "response"), "a<b");
    EXPECT_EQ(getXmlStrVal("empty", reply, "response"), "");
    EXPECT_EQ(getXmlStrVal("size", reply, "reply"), std::nullopt);
    EXPECT_EQ(getXmlStrVal("type", reply, "response"), std::nullopt);
}
