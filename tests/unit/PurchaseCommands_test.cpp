// The purchase words of the bridge and the review request, over the store's doubles.
#include "app/AppDelegate.h"
#include "base/Config.h"
#include "platform/Platform.h"
#include "portable/Dispatch.h"
#include "portable/NumberFormatter.h"
#include "services/IAPCom.h"
#include "tests/support/FakeBridgeScreen.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeToast.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

using testsupport::callbackScript;
using Strings = std::vector<std::string>;

namespace {

class PurchaseCommands : public testing::Test {
protected:
    PurchaseCommands() { platform::current().toast = toast; }

    Strings run(const std::string& command) { return testsupport::runCommand(screen, command); }
    Strings toasts() const
    {
        Strings texts;
        for (const auto& shown : toast->shown)
            texts.push_back(shown.text);
        return texts;
    }
    // Answers the latest products request with `products`.
    Strings respond(std::vector<platform::StoreProduct> products)
    {
        const std::size_t before = screen.view->scripts().size();
        fakes.storeRequests.back()->respond({std::move(products), {}});
        platform::drainMainQueue();
        return {screen.view->scripts().begin() + static_cast<std::ptrdiff_t>(before), screen.view->scripts().end()};
    }

    testsupport::FakePlatform fakes;
    std::shared_ptr<testsupport::FakeToast> toast = std::make_shared<testsupport::FakeToast>();
    testsupport::FakeBridgeScreen screen;
};

const platform::StoreProduct euro{"quillo.pro", "Pro \"plus\"", "Everything/all", "0.99", "de_DE@currency=EUR"};
const platform::StoreProduct dollar{"lite", "Lite", "Some", "1.09", "en_US@currency=USD"};

} // namespace

TEST_F(PurchaseCommands, ProductListRepliesCarryEachProductsOwnLocaleOrTheFixedErrors)
{
    EXPECT_EQ(run("getIAPProducts"), Strings{});
    EXPECT_TRUE(fakes.storeRequests.empty()) << "no callback item: no request";

    // The shared instance asks for no product; the store answers with none.
    run("getIAPProducts?callback=list");
    ASSERT_EQ(fakes.storeRequests.size(), 1u);
    EXPECT_TRUE(fakes.storeRequests[0]->productIdentifiers().empty());
    EXPECT_EQ(respond({}), Strings{callbackScript("list", R"({"error":"Error fetching product list!"})")});

    run("getIAPProducts?callback=list");
    EXPECT_EQ(respond({euro, dollar}),
              Strings{callbackScript("list", "{\"lite\":{\"localizedDescription\":\"Some\",\"localizedTitle\":\"Lite\","
                                             "\"price\":\"$1.09\"},\"quillo.pro\":{\"localizedDescription\":"
                                             "\"Everything\\/all\",\"localizedTitle\":\"Pro \\\"plus\\\"\","
                                             "\"price\":\"0,99\xC2\xA0\xE2\x82\xAC\"}}")});
    EXPECT_EQ(sharedIAPCom().products.size(), 2u);

    run("getIAPProducts?callback=list");
    fakes.storeRequests.back()->fail({0, "offline"});
    platform::drainMainQueue();
    EXPECT_EQ(screen.view->scripts().back(), callbackScript("list", R"({"value":"Error fetching product list."})"));

    // A title that is no UTF-8 fails the serialisation.
    run("getIAPProducts?callback=list");
    auto broken = dollar;
    broken.localizedTitle = "\xFF";
    const auto replies = respond({broken});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_NE(replies[0].find("Error fetching product list: "), std::string::npos) << replies[0];
}

TEST_F(PurchaseCommands, IsAbleToPurchaseAnswersTheQueuesYesOrNo)
{
    EXPECT_EQ(run("getIsAbleToPurchase?callback=able"), Strings{callbackScript("able", R"({"isAbleToPurchase":"Y"})")});
    fakes.paymentQueue->canMakePaymentsValue = false;
    EXPECT_EQ(run("getIsAbleToPurchase?callback=able"), Strings{callbackScript("able", R"({"isAbleToPurchase":"N"})")});
    EXPECT_EQ(run("getIsAbleToPurchase"), Strings{});
    EXPECT_EQ(run("getIsAbleToPurchase?callback"), Strings{});
}

TEST_F(PurchaseCommands, LaunchPurchaseBuysOnlyAKnownProductAfterTheRewrite)
{
    struct Case {
        const char* command;
        Strings toasts;
        Strings payments;
    };
    const Case cases[] = {
        {"launchPurchase", {}, {}},
        {"launchPurchase?sku", {}, {}},
        {"launchPurchase?sku=quillo.pro", {"Error-1098: Product not found."}, {}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.command);
        toast->shown.clear();
        EXPECT_EQ(run(test.command), Strings{});
        EXPECT_EQ(toasts(), test.toasts);
        EXPECT_EQ(fakes.paymentQueue->payments, test.payments);
    }
    sharedIAPCom().products["quillo.pro"] = euro;
    toast->shown.clear();
    // Every "quillotutor" becomes "quillo" before the lookup.
    run("launchPurchase?sku=quillotutor.pro");
    run("launchPurchase?sku=quillotutorquillotutor.pro");
    EXPECT_EQ(toasts(), (Strings{"Starting the purchase …", "Error-1098: Product not found."}));
    EXPECT_EQ(fakes.paymentQueue->payments, Strings{"quillo.pro"});
    EXPECT_EQ(toast->shown[0].position, platform::ToastPosition::bottom);
    EXPECT_EQ(toast->shown[0].duration, std::chrono::milliseconds(2000));
}

TEST_F(PurchaseCommands, RestoreKeepsTheLastCallbackGiven)
{
    run("restorePurchase?callback=restored");
    run("restorePurchase");
    run("restorePurchase?callback");
    ASSERT_TRUE(screen.restoreCallBack);
    EXPECT_EQ(screen.restoreCallBack->callback(), "restored");
    EXPECT_EQ(fakes.paymentQueue->restores, 3);
    EXPECT_EQ(toasts(), Strings(3, "Your purchases have been restored."));
}

TEST_F(PurchaseCommands, RequestReviewOpensTheSoftwareCentreOnlyWhileActiveAndHandled)
{
    struct Case {
        bool focused;
        bool minimized;
        bool handled;
        bool opens;
    };
    const Case cases[] = {
        {true, false, true, true}, {false, false, true, false}, {true, true, true, false}, {true, false, false, false}};
    AppDelegate delegate;
    fakes.application->run(0, nullptr, delegate);
    fakes.application->launch(std::make_shared<testsupport::FakeWindow>(), {});
    for (const auto& test : cases) {
        fakes.application->windowStateChanged(test.focused, test.minimized);
        fakes.urlOpener->schemesWithoutHandler = test.handled ? std::set<std::string>{} : std::set<std::string>{"appstream"};
        const std::size_t before = fakes.urlOpener->opened().size();
        run("requestReview");
        EXPECT_EQ(fakes.urlOpener->opened().size() - before, test.opens ? 1u : 0u)
            << test.focused << test.minimized << test.handled;
    }
    EXPECT_EQ(fakes.urlOpener->opened(), Strings{"appstream://org.webcontainer.app"});
}

TEST(NumberFormatter, FormatsPricesForTheLocaleAndItsCurrency)
{
    struct Case {
        const char* price;
        const char* locale;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"0.99", "de_DE@currency=EUR", "0,99\xC2\xA0\xE2\x82\xAC"},
        {"1.09", "en_US@currency=USD", "$1.09"},
        {"1234.5", "en_US@currency=EUR", "\xE2\x82\xAC" "1,234.50"},
        {"5", "ja_JP@currency=JPY", "\xEF\xBF\xA5" "5"},
        {"abc", "en_US@currency=USD", std::nullopt},
        {"", "en_US@currency=USD", std::nullopt},
    };
    for (const auto& test : cases)
        EXPECT_EQ(platform::NumberFormatter(test.locale).string(test.price), test.text) << test.price << " " << test.locale;

    testsupport::ScopedEnvironment german{{"LC_ALL", "de_AT.UTF-8@euro"}};
    EXPECT_EQ(platform::priceLocaleIdentifier("CHF"), "de_AT@currency=CHF");
    testsupport::ScopedEnvironment plain{{"LC_ALL", "C"}};
    EXPECT_EQ(platform::priceLocaleIdentifier("USD"), "en_US@currency=USD");
}
