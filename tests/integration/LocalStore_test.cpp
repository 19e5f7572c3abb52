// The local store on its files: the product file, the confirmation sheet's two answers, the
// deferred and the failing product, receipts, restores and purchases left unfinished.
#include "app/AppDelegate.h"
#include "platform/Platform.h"
#include "platform/linux/LocalPaymentQueue.h"
#include "platform/linux/LocalStoreRequest.h"
#include "portable/Dispatch.h"
#include "tests/support/FakeApplication.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using platform::PaymentTransactionState;
using Strings = std::vector<std::string>;

namespace {

constexpr const char* productFile = R"({"products": [
    {"identifier": "pro", "title": "Pro", "description": "All", "price": "4.99", "currency": "EUR"},
    {"identifier": "family", "title": "Family", "price": "0.99", "currency": "EUR", "outcome": "defer"},
    {"identifier": "broken", "title": "Broken", "price": "1.09", "currency": "USD", "outcome": "fail"}]})";

// Records what the queue reports, as "<product> <state>[ <error code>]".
struct Recorder : platform::PaymentTransactionObserver, platform::StoreRequestDelegate {
    Strings reports;
    std::vector<std::shared_ptr<platform::PaymentTransaction>> transactions;

    void paymentQueueUpdatedTransactions(platform::PaymentQueue&,
                                         const std::vector<std::shared_ptr<platform::PaymentTransaction>>& updated) override
    {
        for (const auto& transaction : updated) {
            transactions.push_back(transaction);
            std::string report = transaction->payment.productIdentifier + " "
                                 + std::to_string(static_cast<int>(transaction->transactionState));
            if (transaction->error)
                report += " " + std::to_string(transaction->error->code);
            reports.push_back(report);
        }
    }
    void paymentQueueRestoreCompletedTransactionsFinished(platform::PaymentQueue&) override
    {
        reports.push_back("restore finished");
    }
    void paymentQueueRestoreCompletedTransactionsFailed(platform::PaymentQueue&, const platform::StoreError&) override
    {
        reports.push_back("restore failed");
    }
    void productsRequestDidReceiveResponse(platform::StoreRequest&, const platform::ProductsResponse& response) override
    {
        for (const auto& product : response.products)
            reports.push_back("product " + product.productIdentifier + " " + product.price + " " + product.priceLocale);
        for (const auto& invalid : response.invalidProductIdentifiers)
            reports.push_back("invalid " + invalid);
    }
    void requestDidFinish(platform::StoreRequest&) override { reports.push_back("finished"); }
    void requestDidFail(platform::StoreRequest&, const platform::StoreError&) override { reports.push_back("failed"); }

    Strings take() { return std::exchange(reports, {}); }
};

class LocalStoreTest : public testing::Test {
protected:
    LocalStoreTest()
    {
        platform::Platform installed;
        installed.application = application;
        platform::install(std::move(installed));
        application->run(0, nullptr, delegate);
        delegate.window = window;
        testsupport::writeFile(folder / "Products.json", productFile);
        queue = makeQueue();
        queue->addTransactionObserver(recorder);
    }

    platform::LocalStoreFiles files() const
    {
        return platform::LocalStoreFiles({folder / "missing.json", folder / "Products.json"}, folder / "store" / "ledger.json",
                                         folder / "store" / "receipt", "org.example");
    }
    std::shared_ptr<platform::LocalPaymentQueue> makeQueue() const
    {
        return std::make_shared<platform::LocalPaymentQueue>(files());
    }
    // Buys `product` and answers the sheet with button `button` (0 Cancel, 1 Buy).
    void buy(const std::string& product, std::size_t button)
    {
        queue->add({product, "", "", "", ""});
        platform::drainMainQueue();
        ASSERT_NE(window->topAlert(), nullptr) << "no sheet for " << product;
        window->topAlert()->pressAlertButton(button);
        platform::drainMainQueue();
    }
    Strings request(platform::StoreRequest::Kind kind, std::set<std::string> identifiers = {})
    {
        auto made = std::make_shared<platform::LocalStoreRequest>(files(), kind, std::move(identifiers));
        made->setDelegate(recorder);
        made->start();
        platform::drainMainQueue();
        return recorder->take();
    }
    std::string receipt() const { return testsupport::readFile(folder / "store" / "receipt"); }

    fs::path folder = testsupport::makeTemporaryFolder("local-store");
    std::shared_ptr<testsupport::FakeApplication> application = std::make_shared<testsupport::FakeApplication>();
    std::shared_ptr<testsupport::FakeWindow> window = std::make_shared<testsupport::FakeWindow>();
    AppDelegate delegate;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<platform::LocalPaymentQueue> queue;
};

} // namespace

TEST_F(LocalStoreTest, TheSheetsAnswersAndTheConfiguredOutcomes)
{
    EXPECT_TRUE(queue->canMakePayments());
    buy("pro", 0);
    buy("family", 1);
    buy("broken", 1);
    EXPECT_EQ(recorder->take(), (Strings{"pro 0", "pro 2 2", "family 0", "family 4", "broken 0", "broken 2 0"}));
    EXPECT_FALSE(fs::exists(folder / "store" / "receipt"));

    buy("pro", 1);
    EXPECT_EQ(recorder->take(), (Strings{"pro 0", "pro 1"}));
    const std::string first = receipt();
    EXPECT_NE(first.find("\"productIdentifier\":\"pro\""), std::string::npos) << first;
    // Finishing leaves the receipt as it is; a second purchase changes it.
    queue->finishTransaction(*recorder->transactions.back());
    EXPECT_EQ(receipt(), first);
    buy("pro", 1);
    EXPECT_NE(receipt(), first);

    // A product the file does not sell fails without a sheet.
    queue->add({"elsewhere", "", "", "", ""});
    platform::drainMainQueue();
    EXPECT_EQ(recorder->take().back(), "elsewhere 2 0");
}

TEST_F(LocalStoreTest, RestoresAndUnfinishedPurchasesOutliveTheQueue)
{
    queue->restoreCompletedTransactions();
    platform::drainMainQueue();
    EXPECT_EQ(recorder->take(), Strings{"restore finished"});

    buy("pro", 1);
    recorder->take();
    // A restart: the unfinished purchase is reported to the new observer at once.
    queue = makeQueue();
    auto later = std::make_shared<Recorder>();
    queue->addTransactionObserver(later);
    platform::drainMainQueue();
    ASSERT_EQ(later->take(), Strings{"pro 1"});
    queue->finishTransaction(*later->transactions.back());
    queue = makeQueue();
    queue->addTransactionObserver(later);
    queue->restoreCompletedTransactions();
    platform::drainMainQueue();
    EXPECT_EQ(later->take(), (Strings{"pro 3", "restore finished"}));
    EXPECT_EQ(later->transactions.back()->originalTransaction->transactionIdentifier,
              recorder->transactions.back()->transactionIdentifier);

    testsupport::writeFile(folder / "store" / "ledger.json", "not json");
    queue->restoreCompletedTransactions();
    platform::drainMainQueue();
    EXPECT_EQ(later->take(), Strings{"restore failed"});
}

TEST_F(LocalStoreTest, RequestsListTheAskedProductsAndRefreshTheReceipt)
{
    testsupport::ScopedEnvironment locale{{"LC_ALL", "de_DE.UTF-8"}};
    EXPECT_EQ(request(platform::StoreRequest::Kind::products, {"pro", "none"}),
              (Strings{"product pro 4.99 de_DE@currency=EUR", "invalid none", "finished"}));
    EXPECT_EQ(request(platform::StoreRequest::Kind::products), Strings{"finished"});

    buy("pro", 1);
    recorder->take();
    const std::string written = receipt();
    fs::remove(folder / "store" / "receipt");
    EXPECT_EQ(request(platform::StoreRequest::Kind::receiptRefresh), Strings{"finished"});
    EXPECT_EQ(receipt(), written);

    for (const char* broken : {"[]", R"({"products": [{"title": "no identifier"}]})",
                               R"({"products": [{"identifier": "x", "outcome": "maybe"}]})",
                               R"({"products": [{"identifier": "x", "price": 1}]})"}) {
        testsupport::writeFile(folder / "Products.json", broken);
        EXPECT_EQ(request(platform::StoreRequest::Kind::products, {"x"}), Strings{"failed"}) << broken;
    }
    testsupport::writeFile(folder / "Products.json", R"({"canMakePayments": false})");
    EXPECT_FALSE(queue->canMakePayments());
}

// The store's failure texts were missing from the string tables: a German user read them in English.
// A failure was reported twice, both reports reading "failed" (one shared object changed after
// the first report was queued), so the page showed two alerts: each report keeps its state.
TEST_F(LocalStoreTest, FailuresAreReportedOnceInTheUsersLanguage)
{
    testsupport::ScopedEnvironment german{{"LANGUAGE", "de"}};
    queue->add({"elsewhere", "", "", "", ""});
    delegate.window = nullptr;
    queue->add({"pro", "", "", "", ""});
    platform::drainMainQueue();
    EXPECT_EQ(recorder->take(), (Strings{"elsewhere 0", "elsewhere 2 0", "pro 0", "pro 2 0"}));
    Strings texts;
    for (const auto& transaction : recorder->transactions)
        if (transaction->error)
            texts.push_back(transaction->error->localizedDescription);
    EXPECT_EQ(texts, (Strings{"Dieser Artikel wird in diesem Laden nicht verkauft.",
                              "Ohne Fenster kann der Kauf nicht bestätigt werden."}));
}
