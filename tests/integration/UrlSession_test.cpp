// The libcurl URL session against the loopback content server.

#include "platform/UrlSession.h"
#include "platform/linux/CurlUrlSession.h"
#include "tests/support/TestContentServer.h"
#include "tests/support/TestEnvironment.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

using platform::DataTaskResult;
using platform::HttpUrlResponse;
using platform::UrlErrorCode;
using platform::UrlRequest;
using testsupport::TestContentServer;
using Reply = testsupport::TestContentServer::Reply;
using namespace std::chrono_literals;

namespace {

struct Outcome {
    DataTaskResult result;
    bool onSessionQueue = false;
    bool onMainThread = false;
};

// Runs one data task and waits for its completion.
Outcome run(platform::UrlSession& session, UrlRequest request)
{
    std::promise<Outcome> done;
    session.dataTask(std::move(request), [&](DataTaskResult result) {
        done.set_value({std::move(result), session.delegateQueue().isCurrent(), platform::isMainThread()});
    });
    auto future = done.get_future();
    if (future.wait_for(20s) != std::future_status::ready)
        throw std::runtime_error("the data task never completed");
    return future.get();
}

std::shared_ptr<platform::UrlSession> makeSession(platform::UrlSessionConfiguration configuration = {})
{
    return std::make_shared<platform::CurlUrlSession>(std::move(configuration));
}

UrlRequest get(const std::string& url)
{
    UrlRequest request;
    request.url = url;
    return request;
}

} // namespace

TEST(UrlSession, deliversStatusHeadersAndBodyOnTheSessionQueue)
{
    TestContentServer server;
    server.reply("/data", Reply()
                               .withStatus(201)
                               .withHeader("Content-Type", "text/plain")
                               .withHeader("X-Thing", "one")
                               .withHeader("x-thing", "two")
                               .withBody("hello"));
    auto session = makeSession();

    auto outcome = run(*session, get(server.url("/data?a=1")));

    EXPECT_TRUE(outcome.onSessionQueue);
    EXPECT_FALSE(outcome.onMainThread);
    ASSERT_FALSE(outcome.result.error);
    ASSERT_TRUE(outcome.result.response);
    const HttpUrlResponse& response = *outcome.result.response;
    EXPECT_EQ(201, response.statusCode);
    EXPECT_EQ(server.url("/data?a=1"), response.url);
    EXPECT_EQ("hello", outcome.result.data.value_or("<none>"));
    EXPECT_EQ("text/plain", response.headerFields.value("content-type").value_or(""));
    EXPECT_EQ("text/plain", response.headerFields.value("CONTENT-TYPE").value_or(""));
    // A field sent twice reads as one, its values joined.
    EXPECT_EQ("one, two", response.headerFields.value("X-Thing").value_or(""));
}

TEST(UrlSession, sendsMethodHeadersAndBodyAsGiven)
{
    TestContentServer server;
    server.reply("/post", Reply().withBody("ok"));
    auto session = makeSession();
    UrlRequest request = get(server.url("/post"));
    request.httpMethod = "POST";
    request.headerFields.set("Content-Type", "application/x-www-form-urlencoded");
    request.headerFields.set("Accept", "application/json");
    // Large enough that a client asking "Expect: 100-continue" would do so.
    request.httpBody = "app=x&params=" + std::string(4000, 'p') + "\r\n\0end";

    auto outcome = run(*session, request);

    ASSERT_FALSE(outcome.result.error);
    auto requests = server.requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST", requests[0].method);
    EXPECT_EQ("/post", requests[0].path);
    EXPECT_EQ(*request.httpBody, requests[0].body);
    EXPECT_EQ("application/x-www-form-urlencoded", requests[0].header("Content-Type").value_or(""));
    EXPECT_EQ("application/json", requests[0].header("Accept").value_or(""));
    EXPECT_FALSE(requests[0].header("Expect"));
    EXPECT_FALSE(requests[0].header("Cookie"));
}

TEST(UrlSession, emptyBodyIsABodyAndATransportErrorHasNone)
{
    TestContentServer server;
    server.reply("/empty", Reply());
    auto session = makeSession();

    auto empty = run(*session, get(server.url("/empty")));
    ASSERT_FALSE(empty.result.error);
    ASSERT_TRUE(empty.result.data.has_value());
    EXPECT_EQ("", *empty.result.data);

    // A port nobody listens on: the server's own port once it is gone.
    int closedPort = 0;
    {
        TestContentServer gone;
        closedPort = gone.port();
    }
    auto refused = run(*session, get("http://127.0.0.1:" + std::to_string(closedPort) + "/x"));
    EXPECT_TRUE(refused.onSessionQueue);
    EXPECT_FALSE(refused.result.data);
    EXPECT_FALSE(refused.result.response);
    ASSERT_TRUE(refused.result.error);
    EXPECT_EQ(UrlErrorCode::cannotConnectToHost, refused.result.error->code);
    EXPECT_FALSE(refused.result.error->localizedDescription.empty());
}

TEST(UrlSession, keepsSetCookieLinesRawAndNeverSendsCookies)
{
    TestContentServer server;
    server.reply("/cookies", Reply()
                                  .withCookie("nonces=a%3Bb; Path=/")
                                  .withCookie("message=Hello%20there; HttpOnly")
                                  .withBody("x"));
    auto session = makeSession();

    auto first = run(*session, get(server.url("/cookies")));
    auto second = run(*session, get(server.url("/cookies")));

    ASSERT_TRUE(first.result.response);
    EXPECT_EQ((std::vector<std::string>{"nonces=a%3Bb; Path=/", "message=Hello%20there; HttpOnly"}),
              first.result.response->setCookieLines);
    ASSERT_TRUE(second.result.response);
    auto requests = server.requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_FALSE(requests[1].header("Cookie"));
}

TEST(UrlSession, asksBeforeFollowingARedirect)
{
    TestContentServer server;
    server.reply("/moved", Reply().withStatus(302).withHeader("Location", server.url("/target")).withBody("moved"));
    server.reply("/target", Reply().withBody("arrived"));
    std::vector<std::string> asked;
    std::atomic<bool> follow = true;
    std::atomic<bool> askedOnQueue = false;
    std::shared_ptr<platform::UrlSession> session;
    platform::UrlSessionConfiguration configuration;
    configuration.willPerformHTTPRedirection = [&](const HttpUrlResponse& redirect, const UrlRequest& next) {
        asked.push_back(redirect.headerFields.value("Location").value_or("") + " " + next.description());
        askedOnQueue = session->delegateQueue().isCurrent();
        return follow.load();
    };
    session = makeSession(configuration);
    UrlRequest post = get(server.url("/moved"));
    post.httpMethod = "POST";
    post.httpBody = "a=1";

    auto followed = run(*session, post);
    ASSERT_TRUE(followed.result.response);
    EXPECT_EQ(200, followed.result.response->statusCode);
    EXPECT_EQ("arrived", followed.result.data.value_or(""));
    ASSERT_EQ(1u, asked.size());
    // A POST answered with 302 goes on as a GET.
    EXPECT_EQ(server.url("/target") + " GET " + server.url("/target"), asked[0]);
    EXPECT_TRUE(askedOnQueue);

    follow = false;
    auto refused = run(*session, post);
    ASSERT_TRUE(refused.result.response);
    EXPECT_EQ(302, refused.result.response->statusCode);
    EXPECT_EQ("moved", refused.result.data.value_or(""));
    auto requests = server.requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ("GET", requests[1].method);
    EXPECT_EQ("/target", requests[1].path);
    EXPECT_EQ("/moved", requests[2].path);
}

TEST(UrlSession, timesOutAfterSilenceAndCanBeCancelled)
{
    TestContentServer server;
    server.reply("/slow", Reply().withBody("late").withDelay(5s));
    auto session = makeSession();

    UrlRequest request = get(server.url("/slow"));
    request.timeoutInterval = 1s;
    auto timedOut = run(*session, request);
    ASSERT_TRUE(timedOut.result.error);
    EXPECT_EQ(UrlErrorCode::timedOut, timedOut.result.error->code);
    EXPECT_FALSE(timedOut.result.data);

    std::promise<DataTaskResult> done;
    auto task = session->dataTask(get(server.url("/slow")), [&](DataTaskResult result) { done.set_value(std::move(result)); });
    ASSERT_TRUE(server.waitForRequests(2));
    task->cancel();
    auto future = done.get_future();
    ASSERT_EQ(std::future_status::ready, future.wait_for(3s));
    auto cancelled = future.get();
    ASSERT_TRUE(cancelled.error);
    EXPECT_EQ(UrlErrorCode::cancelled, cancelled.error->code);
}

TEST(UrlSession, refusesAddressesThatAreNotHttp)
{
    auto session = makeSession();
    auto outcome = run(*session, get("file:///etc/hostname"));
    ASSERT_TRUE(outcome.result.error);
    EXPECT_EQ(UrlErrorCode::unsupportedURL, outcome.result.error->code);
    EXPECT_FALSE(outcome.result.data);
}

TEST(UrlSession, runsManyTasksSideBySide)
{
    TestContentServer server;
    server.reply("/pause", Reply().withBody("done").withDelay(300ms));
    auto session = makeSession();
    constexpr int count = 24;
    std::atomic<int> succeeded = 0;
    std::promise<void> all;
    std::atomic<int> remaining = count;
    for (int i = 0; i < count; ++i) {
        session->dataTask(get(server.url("/pause?i=" + std::to_string(i))), [&](DataTaskResult result) {
            if (result.data == "done")
                ++succeeded;
            if (--remaining == 0)
                all.set_value();
        });
    }
    ASSERT_EQ(std::future_status::ready, all.get_future().wait_for(20s));
    EXPECT_EQ(count, succeeded.load());
}

// A server whose certificate no authority signed is refused.
TEST(UrlSession, verifiesServerCertificates)
{
    // A self-signed certificate for 127.0.0.1, made here.
    EVP_PKEY* key = EVP_RSA_gen(2048);
    ASSERT_TRUE(key);
    X509* certificate = X509_new();
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 86400);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    ASSERT_GT(X509_sign(certificate, key, EVP_sha256()), 0);

    httplib::SSLServer tls(certificate, key);
    tls.Get("/", [](const httplib::Request&, httplib::Response& response) { response.set_content("secret", "text/plain"); });
    const int port = tls.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { tls.listen_after_bind(); });
    while (!tls.is_running())
        std::this_thread::sleep_for(1ms);
    auto session = makeSession();

    auto outcome = run(*session, get("https://127.0.0.1:" + std::to_string(port) + "/"));

    tls.stop();
    thread.join();
    X509_free(certificate);
    EVP_PKEY_free(key);
    EXPECT_FALSE(outcome.result.data);
    ASSERT_TRUE(outcome.result.error);
    EXPECT_EQ(UrlErrorCode::serverCertificateUntrusted, outcome.result.error->code);
}

// A body longer than the request allows ends the task while the server still has most of it to
// send: the reply is never read whole. The limit may depend on the reply's header fields.
TEST(UrlSession, bodiesBeyondTheirLimitAreRefusedBeforeTheyAreRead)
{
    constexpr std::size_t MiB = 1 << 20;
    TestContentServer server;
    const auto held = [](bool announceLength) {
        return TestContentServer::Stream{300 * MiB, 64 * 1024, 0ms, announceLength, 2 * MiB};
    };
    server.reply("/announced", Reply().withStream(held(true)));
    server.reply("/chunked", Reply().withStream(held(false)));
    server.reply("/attachment", Reply().withHeader("Content-Disposition", "attachment; filename=a.bin")
                                    .withStream({3 * MiB, 64 * 1024, 0ms, false, std::nullopt}));
    auto session = makeSession();
    for (const char* path : {"/announced", "/chunked", "/attachment"}) {
        SCOPED_TRACE(path);
        UrlRequest request = get(server.url(path));
        request.maximumBodyLength = [](const HttpUrlResponse& reply) -> std::optional<std::int64_t> {
            return reply.headerFields.contains("Content-Disposition") ? 4 * MiB : 1 * MiB;
        };
        const auto outcome = run(*session, request);
        if (std::string(path) == "/attachment") {
            ASSERT_TRUE(outcome.result.data);
            EXPECT_EQ(3 * MiB, outcome.result.data->size());
            continue;
        }
        ASSERT_TRUE(outcome.result.error);
        EXPECT_EQ(UrlErrorCode::dataLengthExceedsMaximum, outcome.result.error->code);
        EXPECT_FALSE(outcome.result.data);
    }
}
