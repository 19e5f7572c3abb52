// The update check against the loopback content server, with real libcurl.

#include "base/Config.h"
#include "contentserver/ServerCom.h"
#include "platform/Platform.h"
#include "tests/support/FakeReachability.h"
#include "tests/support/LoopbackContentServer.h"
#include "tests/support/TestContentServer.h"

#include <gtest/gtest.h>

#include <future>

using testsupport::TestContentServer;
using Reply = TestContentServer::Reply;
using namespace std::chrono_literals;

namespace {

const std::string fullReply = "<response><type>full</type><date>20240101120000</date><size>2048</size>"
                              "<path>/pkg/full.zip</path><secret>s3cret</secret>"
                              "<script>window.updated = 1;</script></response>";

class UpdateCheckTest : public testing::Test {
protected:
    UpdateCheckTest()
    {
        testsupport::installCurlUrlSessions();
        network->setFlags(platform::Reachability::reachable);
        platform::current().reachability = network;

        testsupport::storeServerSettings(server, "/app/", "update.php");
        sharedConfig().defaults.set("nonces", "n1;n2");
        queuedScripts();
    }

    // Runs one check and returns what its completion received; fails the test unless the
    // completion runs exactly once.
    std::optional<RequestProperties> check(const Reply& reply, bool wakeup = false)
    {
        server.reply("/app/update.php", reply);
        std::promise<std::optional<RequestProperties>> answer;
        auto calls = std::make_shared<std::atomic<int>>(0);
        sharedServerCom().updateCheck(wakeup, [&answer, calls](std::optional<RequestProperties> properties) {
            if (++*calls == 1)
                answer.set_value(std::move(properties));
        });
        auto future = answer.get_future();
        if (future.wait_for(10s) != std::future_status::ready) {
            ADD_FAILURE() << "the check never completed";
            return std::nullopt;
        }
        auto result = future.get();
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(1, calls->load());
        return result;
    }

    std::vector<std::string> queuedScripts()
    {
        std::vector<std::string> scripts;
        while (auto script = sharedConfig().stackOfJScript.lock()->pop())
            scripts.push_back(*script);
        return scripts;
    }

    TestContentServer server;
    std::shared_ptr<testsupport::FakeReachability> network = std::make_shared<testsupport::FakeReachability>();
};

} // namespace

TEST_F(UpdateCheckTest, replyOf200BecomesRequestPropertiesAndQueuesItsScriptOnce)
{
    const auto properties = check(Reply()
                                      .withHeader("Content-Type", "text/xml")
                                      .withCookie("nonces=a%3Bb; Path=/")
                                      .withBody(fullReply));

    ASSERT_TRUE(properties);
    EXPECT_EQ(updateTypeEnum::FULL, properties->updateType);
    EXPECT_EQ(2048, properties->packageSize);
    EXPECT_EQ("/pkg/full.zip", properties->downloadFilePath);
    EXPECT_EQ("s3cret", properties->secretKey);
    EXPECT_EQ(fullReply, properties->xmlResponse);
    EXPECT_EQ((std::vector<std::string>{"window.updated = 1;"}), queuedScripts());
    EXPECT_EQ("a;b", sharedConfig().defaults.string("nonces"));

    const auto request = server.requests().at(0);
    EXPECT_EQ("GET", request.method);
    EXPECT_EQ("/app/update.php", request.path);
    EXPECT_EQ("app=X&lsync=D&lfsync=F", request.query.substr(0, 22));
    EXPECT_NE(std::string::npos, request.query.find("&nonce=n1"));
    EXPECT_EQ(std::string::npos, request.query.find("sync_mode"));
    EXPECT_FALSE(sharedServerCom().isWakeupSync);

    // The next check spends the nonce the reply brought and sends no cookie of it back.
    check(Reply().withBody("<response><type>nop</type></response>"));
    const auto next = server.requests().at(1);
    EXPECT_NE(std::string::npos, next.query.find("&nonce=a"));
    EXPECT_EQ(std::nullopt, next.header("Cookie"));
    EXPECT_TRUE(queuedScripts().empty());
}

TEST_F(UpdateCheckTest, wakeUpCheckSaysSoInTheQuery)
{
    check(Reply().withBody(fullReply), true);
    EXPECT_TRUE(sharedServerCom().isWakeupSync);
    const std::string query = server.requests().at(0).query;
    EXPECT_EQ("&sync_mode=wakeup", query.substr(query.size() - 17));

    check(Reply().withBody(fullReply), false);
    EXPECT_FALSE(sharedServerCom().isWakeupSync);
    EXPECT_EQ(std::string::npos, server.requests().at(1).query.find("sync_mode"));
}

TEST_F(UpdateCheckTest, repliesWithoutAnUpdateEndWithNothing)
{
    const std::vector<std::pair<const char*, Reply>> cases = {
        {"not modified", Reply().withStatus(304)},
        {"server error", Reply().withStatus(500).withBody(fullReply)},
        {"created", Reply().withStatus(201).withBody(fullReply)},
        {"server error text", Reply().withBody("<response>\n<error>denied</error>\n<script>x()</script></response>")},
    };
    for (const auto& [scenario, reply] : cases) {
        SCOPED_TRACE(scenario);
        EXPECT_EQ(std::nullopt, check(reply));
        EXPECT_EQ(std::vector<std::string>{}, queuedScripts());
    }
}

TEST_F(UpdateCheckTest, unreachableServerEndsWithNothing)
{
    int closedPort = 0;
    {
        TestContentServer gone;
        closedPort = gone.port();
    }
    sharedConfig().defaults.set("servername", "127.0.0.1:" + std::to_string(closedPort));
    EXPECT_EQ(std::nullopt, check(Reply()));
}

TEST_F(UpdateCheckTest, checksThatCannotBeSentThrowBeforeSending)
{
    struct Case {
        const char* scenario;
        std::function<void()> arrange;
        fetchAppXmlError::Kind kind;
        std::string description;
    };
    const std::vector<Case> cases = {
        {"no connection", [this] { network->setFlags(0); }, fetchAppXmlError::Kind::no_INTERNET_CONNECTION,
         "No Internet connection available: false"},
        {"a malformed escape in the address", [] { sharedConfig().defaults.set("serverpath", "/%zz/"); },
         fetchAppXmlError::Kind::failed_URL_GENERATION, "Failed to generate url: Could not generate URL from: http://127.0.0.1:"},
        {"a server name that is no text", [] { sharedConfig().defaults.set("servername", 8080); },
         fetchAppXmlError::Kind::failed_URL_GENERATION, "Failed to generate url: Could not generate URL from: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        c.arrange();
        bool completed = false;
        try {
            sharedServerCom().updateCheck(false, [&](auto) { completed = true; });
            ADD_FAILURE() << "nothing thrown";
        } catch (const fetchAppXmlError& error) {
            EXPECT_EQ(c.kind, error.kind());
            EXPECT_EQ(c.description, std::string(error.what()).substr(0, c.description.size()));
        }
        EXPECT_FALSE(completed);
        network->setFlags(platform::Reachability::reachable);
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(server.requests().empty());
}

// A reply that trickles in, never silent for long, still ends the check at its deadline.
TEST_F(UpdateCheckTest, tricklingReplyEndsAtTheDeadline)
{
    sharedServerCom().setUpdateCheckDeadlineForTesting(1s);
    EXPECT_EQ(std::nullopt, check(Reply().withStream({100000, 1, 200ms, true, std::nullopt})));
}
