// Request parameters, the query text and the nonce list.

#include "base/Config.h"
#include "base/ServerAddress.h"
#include "contentserver/ServerCom.h"
#include "portable/Device.h"
#include "tests/support/ManualClock.h"
#include "tests/support/TestIsolation.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

platform::SettingsStore& defaults()
{
    return sharedConfig().defaults;
}

std::string nonceOfNextRequest()
{
    auto params = sharedServerCom().makeApiParams();
    return params ? params->nonce : "<no parameters>";
}

} // namespace

TEST(ServerComNonces, takesTheStoredNoncesInTurn)
{
    defaults().set("nonces", "a;b;c");
    EXPECT_EQ("a", nonceOfNextRequest());
    EXPECT_EQ("b", nonceOfNextRequest());
    EXPECT_EQ("c", nonceOfNextRequest());
    EXPECT_EQ("", defaults().string("nonces"));
    EXPECT_EQ("c", defaults().string("lastnonce"));

    // The empty list still hands out its one empty element, and records it.
    auto params = sharedServerCom().makeApiParams();
    ASSERT_TRUE(params);
    EXPECT_EQ("", params->nonce);
    EXPECT_EQ(std::string::npos, params->queryString(false).find("nonce="));
    EXPECT_EQ("", defaults().string("lastnonce"));
}

TEST(ServerComNonces, anEmptyElementSendsNoNonceAndNoListSendsNone)
{
    defaults().set("lastnonce", "earlier");
    auto first = sharedServerCom().makeApiParams();
    ASSERT_TRUE(first);
    EXPECT_EQ("", first->nonce);
    EXPECT_EQ("earlier", defaults().string("lastnonce"));

    defaults().set("nonces", "a;;b");
    EXPECT_EQ("a", nonceOfNextRequest());
    auto second = sharedServerCom().makeApiParams();
    ASSERT_TRUE(second);
    EXPECT_EQ("", second->nonce);
    EXPECT_EQ(std::string::npos, second->queryString(true).find("&nonce="));
    EXPECT_EQ("b", nonceOfNextRequest());
}

// Requests built at the same moment on several threads never share a nonce.
TEST(ServerComNonces, concurrentRequestsNeverTakeTheSameNonce)
{
    constexpr int threads = 8;
    constexpr int perThread = 40;
    std::string list;
    for (int i = 0; i < threads * perThread; ++i)
        list += (i ? ";n" : "n") + std::to_string(i);
    defaults().set("nonces", list);

    std::vector<std::vector<std::string>> taken(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                taken[static_cast<std::size_t>(t)].push_back(sharedServerCom().getNextNonce().value_or(""));
        });
    }
    for (auto& worker : workers)
        worker.join();

    std::set<std::string> distinct;
    for (const auto& nonces : taken)
        distinct.insert(nonces.begin(), nonces.end());
    EXPECT_EQ(static_cast<std::size_t>(threads * perThread), distinct.size());
    EXPECT_FALSE(distinct.contains(""));
    EXPECT_EQ("", defaults().string("nonces"));
}

TEST(ServerComParameters, queryTextCarriesThePairsInOrder)
{
    defaults().set("app", "");
    defaults().set("date", "D1");
    defaults().set("full", "F1");
    defaults().set("uuid", "U-1");
    defaults().set("registrationToken", "beef");
    defaults().set("nonces", "n1");
    auto params = sharedServerCom().makeApiParams();
    ASSERT_TRUE(params);

    const std::string osVersion = urlEncode(platform::systemName() + " " + platform::systemVersion()).value();
    EXPECT_NE(std::string::npos, osVersion.find("%20"));
    const std::string pairs =
        "&lsync=D1&lfsync=F1&os_version=" + osVersion + "&uuid=U-1&lang=en&app_version=1.0.0&token=beef&nonce=n1";
    // An empty app stays in the path form and leaves the appended form; lazy loading "none"
    // sends no pair, and no "otpkey" means no code.
    EXPECT_EQ("/update.xml?app=" + pairs, params->queryString(false));
    EXPECT_EQ(pairs, params->queryString(true));

    params->app = "A";
    params->sync_mode = "wakeup";
    params->lazyloadMode = "all";
    EXPECT_EQ("&app=A" + pairs + "&sync_mode=wakeup&lazy_load=all", params->queryString(true));
}

TEST(ServerComParameters, reportsTheConfiguredLazyLoadMode)
{
    defaults().set("lazyload", "nonhtml");
    // The lazy loader reads its mode when it is built: at the next start.
    testsupport::rebuildSharedInstances();
    auto params = sharedServerCom().makeApiParams();
    ASSERT_TRUE(params);
    EXPECT_EQ("nonhtml", params->lazyloadMode);
    EXPECT_NE(std::string::npos, params->queryString(true).find("&lazy_load=nonhtml"));
}

TEST(ServerComParameters, missingServerSettingBuildsNothingAndSpendsNoNonce)
{
    defaults().set("nonces", "a;b");
    defaults().set("serverfile", 7);
    EXPECT_FALSE(sharedServerCom().makeApiParams());
    EXPECT_EQ("a;b", defaults().string("nonces"));
}

TEST(ServerComParameters, oneTimeCodeNeedsAUsableSecret)
{
    EXPECT_FALSE(sharedServerCom().getOTP());
    defaults().set("otpkey", "not base32!");
    EXPECT_FALSE(sharedServerCom().getOTP());

    defaults().set("otpkey", "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ");
    auto params = sharedServerCom().makeApiParams();
    ASSERT_TRUE(params);
    EXPECT_EQ(6u, params->otp.size());
    EXPECT_NE(std::string::npos, params->queryString(true).find("&otp=" + params->otp));
}

TEST(ServerComParameters, oneTimeCodeChangesEveryThirtySeconds)
{
    defaults().set("otpkey", "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ");
    auto codeAt = [](std::chrono::seconds sinceEpoch) {
        platform::setClockForTesting(std::make_shared<testsupport::ManualClock>(platform::TimePoint(sinceEpoch)));
        return sharedServerCom().getOTP().value_or("");
    };
    // The RFC 4226 values of counters 1 and 2: the steps 30 to 59 s and 60 to 89 s.
    EXPECT_EQ("287082", codeAt(std::chrono::seconds(30)));
    EXPECT_EQ("287082", codeAt(std::chrono::seconds(59)));
    EXPECT_EQ("359152", codeAt(std::chrono::seconds(60)));
    EXPECT_EQ("081804", codeAt(std::chrono::seconds(1111111109)));
    platform::setClockForTesting(nullptr);
}
