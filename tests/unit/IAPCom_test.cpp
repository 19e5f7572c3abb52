// IAPCom against the store's doubles: receipts announced once, the transaction states, restores,
// product lists and the refresh path.
#include "app/AppDelegate.h"
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"
#include "services/IAPCom.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using platform::PaymentTransaction;
using platform::PaymentTransactionState;
using platform::StoreError;
using Strings = std::vector<std::string>;

namespace {

class IAPComTest : public testing::Test {
protected:
    IAPComTest()
    {
        sharedNotificationCenter().addObserver(this, "IAPComPurchaseNotification", [this](const auto& note) {
            purchases.push_back(note);
        });
        sharedNotificationCenter().addObserver(this, "IAPComRestoreNotification", [this](const auto& note) {
            restores.push_back(note);
        });
    }

    static void writeReceipt(const std::string& bytes)
    {
        testsupport::writeFile(*platform::Bundle::main()->appStoreReceiptURL(), bytes);
    }

    static std::shared_ptr<PaymentTransaction> transaction(PaymentTransactionState state, const std::string& product = "pro",
                                                           std::optional<StoreError> error = std::nullopt)
    {
        auto made = std::make_shared<PaymentTransaction>();
        made->payment.productIdentifier = product;
        made->transactionState = state;
        made->transactionIdentifier = "T-" + product;
        made->error = std::move(error);
        return made;
    }

    static std::shared_ptr<PaymentTransaction> restored(const std::string& product)
    {
        auto made = transaction(PaymentTransactionState::restored, product);
        made->originalTransaction = transaction(PaymentTransactionState::purchased, product);
        return made;
    }

    void deliver(IAPCom& iap, std::vector<std::shared_ptr<PaymentTransaction>> transactions)
    {
        iap.paymentQueueUpdatedTransactions(*fakes.paymentQueue, transactions);
        platform::drainMainQueue();
    }

    Strings reported() const { return sharedConfig().defaults.stringArray("currentPurchases").value_or(Strings{}); }

    testsupport::LogCapture log;
    testsupport::FakePlatform fakes;
    std::shared_ptr<IAPCom> iap = std::make_shared<IAPCom>(std::set<std::string>{"pro", "plus"});
    std::vector<platform::Notification> purchases;
    std::vector<platform::Notification> restores;
};

} // namespace

TEST_F(IAPComTest, AReceiptIsAnnouncedOnceInAProcessAndAfterARestart)
{
    writeReceipt("receipt one");
    const std::string receiptText = "cmVjZWlwdCBvbmU="; // Base64 of "receipt one"
    deliver(*iap, {transaction(PaymentTransactionState::purchased)});
    ASSERT_EQ(purchases.size(), 1u);
    EXPECT_EQ(std::any_cast<std::string>(purchases[0].object), "pro");
    EXPECT_EQ(purchases[0].userInfo, (platform::PlistDict{{"identifier", "pro"}, {"receiptData", receiptText}}));
    EXPECT_EQ(reported(), Strings{receiptText});
    EXPECT_EQ(sharedConfig().defaults.string("currentSKU"), "pro");
    ASSERT_EQ(fakes.paymentQueue->finished.size(), 1u);

    // The same receipt again: nothing, in this process and in a new one (a new object).
    deliver(*iap, {transaction(PaymentTransactionState::purchased, "plus")});
    auto restarted = std::make_shared<IAPCom>(std::set<std::string>{});
    deliver(*restarted, {transaction(PaymentTransactionState::purchased)});
    EXPECT_EQ(purchases.size(), 1u);
    EXPECT_EQ(sharedConfig().defaults.string("currentSKU"), "pro");

    // A new receipt is appended.
    writeReceipt("receipt two");
    deliver(*restarted, {transaction(PaymentTransactionState::purchased)});
    EXPECT_EQ(purchases.size(), 2u);
    EXPECT_EQ(reported(), (Strings{receiptText, "cmVjZWlwdCB0d28="}));
}

TEST_F(IAPComTest, EachTransactionStateIsHandledAsItsOwn)
{
    struct Case {
        const char* name;
        std::shared_ptr<PaymentTransaction> transaction;
        bool finished;
        std::optional<std::pair<std::string, std::string>> alert; // title and message
    };
    const Case cases[] = {
        {"purchasing", transaction(PaymentTransactionState::purchasing), false, {}},
        {"cancelled", transaction(PaymentTransactionState::failed, "pro", StoreError{2, "cancelled"}), true, {}},
        {"failed without error", transaction(PaymentTransactionState::failed), true, {}},
        {"failed", transaction(PaymentTransactionState::failed, "pro", StoreError{0, "declined"}), true,
         std::pair{"Error", "declined"}},
        {"deferred", transaction(PaymentTransactionState::deferred), true,
         std::pair{"Information", "Your purchase is waiting for approval."}},
        {"unknown state", transaction(static_cast<PaymentTransactionState>(7)), false, {}},
        {"restored without original", transaction(PaymentTransactionState::restored), false, {}},
    };
    AppDelegate delegate;
    fakes.application->run(0, nullptr, delegate);
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        auto window = std::make_shared<testsupport::FakeWindow>();
        delegate.window = window;
        fakes.paymentQueue->finished.clear();
        deliver(*iap, {test.transaction});
        EXPECT_EQ(fakes.paymentQueue->finished.size(), test.finished ? 1u : 0u);
        auto* alert = window->topAlert();
        ASSERT_EQ(alert != nullptr, test.alert.has_value());
        if (alert) {
            EXPECT_EQ(alert->alert()->title, test.alert->first);
            EXPECT_EQ(alert->alert()->message, test.alert->second);
            EXPECT_EQ(alert->alert()->actions.size(), 1u);
        }
    }
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.contains(Logger::Level::Debug, "ERROR FIXME: New unhandled paymenttransaction case!!!"));
    EXPECT_TRUE(purchases.empty());
}

TEST_F(IAPComTest, ARestoreCollectsReceiptsAndAnnouncesTheEndEvenWithNothingRestored)
{
    auto shared = std::make_shared<IAPCom>(PRODUCT_IDENTIFIERS());
    shared->paymentQueueRestoreCompletedTransactionsFinished(*fakes.paymentQueue);
    platform::drainMainQueue();
    ASSERT_EQ(restores.size(), 1u);
    EXPECT_EQ(restores[0].userInfo, (platform::PlistDict{{"identifierSet", platform::PlistArray{}},
                                                         {"receiptSet", platform::PlistArray{}}}));

    writeReceipt("receipt one");
    deliver(*iap, {restored("pro"), restored("plus")});
    EXPECT_EQ(fakes.paymentQueue->finished.size(), 2u);
    EXPECT_EQ(iap->purchasedProductIdentifiers, (std::set<std::string>{"plus", "pro"}));
    iap->paymentQueueRestoreCompletedTransactionsFinished(*fakes.paymentQueue);
    platform::drainMainQueue();
    ASSERT_EQ(restores.size(), 2u);
    EXPECT_EQ(restores[1].userInfo.at("identifierSet"), platform::PlistValue::stringArray({"plus", "pro"}));
    EXPECT_EQ(restores[1].userInfo.at("receiptSet"), platform::PlistValue::stringArray({"cmVjZWlwdCBvbmU="}));
    // A restored receipt counts as handled: its purchase is not announced again.
    deliver(*iap, {transaction(PaymentTransactionState::purchased)});
    EXPECT_TRUE(purchases.empty());
    EXPECT_TRUE(reported().empty());
}

TEST_F(IAPComTest, ANewProductListCancelsTheRunningOneAndItsEndAlsoReportsTheStoredReceipt)
{
    Strings answers;
    iap->requestProducts([&](bool success, auto products) { answers.push_back("first"); });
    iap->requestProducts([&](bool success, auto products) {
        answers.push_back(std::string(success ? "ok " : "failed ") + std::to_string(products ? products->size() : 0));
    });
    ASSERT_EQ(fakes.storeRequests.size(), 2u);
    EXPECT_TRUE(fakes.storeRequests[0]->isCancelled());
    EXPECT_EQ(fakes.storeRequests[1]->productIdentifiers(), (std::set<std::string>{"plus", "pro"}));
    EXPECT_TRUE(fakes.storeRequests[1]->started);

    // The end of the request reports the receipt of the stored identifier, at once.
    sharedConfig().defaults.set("currentSKU", "plus");
    writeReceipt("r");
    platform::StoreProduct product{"pro", "Pro", "All of it", "0.99", "en_US@currency=USD"};
    fakes.storeRequests[0]->respond({{product}, {}});
    fakes.storeRequests[1]->respond({{product}, {}});
    EXPECT_EQ(answers, Strings{"ok 1"});
    EXPECT_EQ(iap->productsRequest, nullptr);
    ASSERT_EQ(purchases.size(), 1u);
    EXPECT_EQ(std::any_cast<std::string>(purchases[0].object), "plus");
    EXPECT_EQ(purchases[0].userInfo, (platform::PlistDict{{"receiptData", "cg=="}}));

    // A failure answers (false); without a stored identifier the end reports nothing.
    sharedConfig().defaults.remove("currentSKU");
    iap->requestProducts([&](bool success, auto products) { answers.push_back(success || products ? "wrong" : "failed"); });
    fakes.storeRequests[2]->fail({0, "offline"});
    iap->requestProducts([&](bool, auto) {});
    fakes.storeRequests[3]->respond({});
    EXPECT_EQ(answers, (Strings{"ok 1", "failed"}));
    EXPECT_EQ(purchases.size(), 1u);
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.contains(Logger::Level::Error, "cannot fetch identifier from defaults"));
}

// A purchase whose receipt cannot be read starts a refresh; its end reports the receipt.
TEST_F(IAPComTest, AnUnreadableReceiptIsRefreshedAndReportedThroughTheRefresh)
{
    deliver(*iap, {transaction(PaymentTransactionState::purchased)});
    EXPECT_TRUE(purchases.empty());
    ASSERT_EQ(fakes.storeRequests.size(), 1u);
    EXPECT_EQ(fakes.storeRequests[0]->kind(), platform::StoreRequest::Kind::receiptRefresh);
    EXPECT_TRUE(fakes.storeRequests[0]->started);
    writeReceipt("r");
    fakes.storeRequests[0]->finish();
    ASSERT_EQ(purchases.size(), 1u);
    EXPECT_EQ(purchases[0].userInfo, (platform::PlistDict{{"receiptData", "cg=="}}));
    // The refresh path checks nothing and stores nothing.
    EXPECT_TRUE(reported().empty());
}

TEST(ReceiptHash, IsFortyLowerCaseHexDigitsAndStable)
{
    for (const std::string& text : Strings{"", "cmVjZWlwdCBvbmU=", std::string(10000, 'A')}) {
        const auto hash = receiptHash(text);
        ASSERT_TRUE(hash);
        EXPECT_THAT(*hash, testing::MatchesRegex("[0-9a-f]{40}"));
        EXPECT_EQ(receiptHash(text), hash);
    }
    EXPECT_EQ(receiptHash(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}
