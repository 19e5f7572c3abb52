// The purchase words from a page in the real web view, with the local store: the page asks
// whether it may buy and for the product list, buys on the GTK confirmation sheet, restores.
#include "base/Config.h"
#include "base/SharedInstances.h"
#include "platform/Platform.h"
#include "platform/StoreRequest.h"
#include "platform/linux/LinuxWindow.h"
#include "portable/Dispatch.h"
#include "services/IAPCom.h"
#include "tests/support/RealWebScreenFixture.h"

#include <gtk/gtk.h>

#include <gtest/gtest.h>

namespace {

const std::string pro = "org.webcontainer.app.pro";

class PurchasesTest : public testsupport::RealWebScreenFixture {
protected:
    void SetUpPage() override
    {
        for (const char* name : {"IAPComPurchaseNotification", "IAPComRestoreNotification"})
            sharedNotificationCenter().addObserver(this, name, [this](const auto& note) { notes.push_back(note); });
    }

    // The product as the local store lists it.
    static platform::StoreProduct storeProduct(const std::string& identifier)
    {
        struct Listener : platform::StoreRequestDelegate {
            std::vector<platform::StoreProduct> products;
            bool ended = false;
            void productsRequestDidReceiveResponse(platform::StoreRequest&, const platform::ProductsResponse& response) override
            {
                products = response.products;
            }
            void requestDidFinish(platform::StoreRequest&) override { ended = true; }
        };
        auto listener = std::make_shared<Listener>();
        auto request = platform::current().makeProductsRequest({identifier});
        request->setDelegate(listener);
        request->start();
        platform::runMainLoopUntil([&] { return listener->ended; }, kTimeout);
        return listener->products.empty() ? platform::StoreProduct{} : listener->products.front();
    }

    // The confirmation sheet on show, a real GTK dialog.
    platform::LinuxWindow* sheet()
    {
        platform::LinuxWindow* shown = nullptr;
        platform::runMainLoopUntil(
            [&] {
                shown = dynamic_cast<platform::LinuxWindow*>(topWindow());
                return shown && shown->alert() && gtk_widget_get_mapped(GTK_WIDGET(shown->gtkWindow()));
            },
            kTimeout);
        return shown && shown->alert() ? shown : nullptr;
    }

    std::vector<platform::Notification> notes;
};

} // namespace

TEST_F(PurchasesTest, ThePageAsksListsBuysOnTheSheetAndRestores)
{
    EXPECT_EQ(ask("onAble", "getIsAbleToPurchase?callback=onAble"), R"({"isAbleToPurchase":"Y"})");
    // The shared instance asks the store about no product.
    EXPECT_EQ(ask("onList", "getIAPProducts?callback=onList"), R"({"error":"Error fetching product list!"})");

    // A product the store sells, made known to the purchase words as a product list would.
    const auto product = storeProduct(pro);
    ASSERT_EQ(product.productIdentifier, pro);
    sharedIAPCom().products[pro] = product;
    post("launchPurchase?sku=" + pro);
    auto* confirmation = sheet();
    ASSERT_NE(confirmation, nullptr) << "no confirmation sheet";
    EXPECT_EQ(confirmation->alert()->title, "Confirm Your Purchase");
    EXPECT_NE(confirmation->alert()->message.find("Pro"), std::string::npos);
    EXPECT_EQ(confirmation->alert()->actions.at(1).title, "Buy");
    confirmation->pressAlertButton(1);

    ASSERT_TRUE(platform::runMainLoopUntil([&] { return notes.size() == 1; }, kTimeout)) << "no purchase announced";
    EXPECT_EQ(notes[0].name, "IAPComPurchaseNotification");
    EXPECT_EQ(std::any_cast<std::string>(notes[0].object), pro);
    const auto receipt = notes[0].userInfo.at("receiptData");
    EXPECT_EQ(sharedConfig().defaults.stringArray("currentPurchases"), std::vector<std::string>{*receipt.asString()});

    post("restorePurchase?callback=onRestore");
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return notes.size() == 2; }, kTimeout)) << "no restore announced";
    EXPECT_EQ(notes[1].name, "IAPComRestoreNotification");
    EXPECT_EQ(notes[1].userInfo.at("receiptSet"), platform::PlistArray{receipt});
    ASSERT_TRUE(screen->restoreCallBack);
    EXPECT_EQ(screen->restoreCallBack->callback(), "onRestore");
}
