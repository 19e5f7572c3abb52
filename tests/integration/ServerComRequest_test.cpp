// The POST of a server call as it reaches the loopback content server, byte for byte.

#include "base/Config.h"
#include "base/ServerAddress.h"
#include "contentserver/ServerCom.h"
#include "platform/linux/CurlUrlSession.h"
#include "portable/Device.h"
#include "tests/support/LoopbackContentServer.h"
#include "tests/support/TestContentServer.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <future>

using testsupport::TestContentServer;
using Reply = TestContentServer::Reply;
using namespace std::chrono_literals;

namespace {

class ServerComRequestTest : public testing::Test {
protected:
    void SetUp() override
    {
        server.reply("/app/server.php", Reply().withBody("{}"));
        testsupport::storeServerSettings(server, "/app/", "server.php");
        auto& defaults = sharedConfig().defaults;
        defaults.set("uuid", "U");
        defaults.set("nonces", "n1;n2");
        std::filesystem::create_directories(sharedConfig().UPLOADURL);
    }

    // Sends `request` and returns what the server received.
    TestContentServer::Request send(const platform::UrlRequest& request)
    {
        std::promise<void> done;
        std::make_shared<platform::CurlUrlSession>(platform::UrlSessionConfiguration{})->dataTask(request, [&](platform::DataTaskResult) { done.set_value(); });
        EXPECT_EQ(std::future_status::ready, done.get_future().wait_for(10s));
        auto requests = server.requests();
        return requests.empty() ? TestContentServer::Request{} : requests.back();
    }

    static std::string osVersion()
    {
        return urlEncode(platform::systemName() + " " + platform::systemVersion()).value();
    }

    TestContentServer server;
};

} // namespace

TEST_F(ServerComRequestTest, formCarriesAppTwiceTheEncodedParamsAndTheRawRest)
{
    auto created = sharedServerCom().createRequest("a b&c=ä", "&extra=1&more=%20", "null", "", "");
    ASSERT_TRUE(created.request) << created.errorDescription;

    auto received = send(*created.request);

    EXPECT_EQ("POST", received.method);
    EXPECT_EQ("/app/server.php", received.path);
    EXPECT_EQ("application/x-www-form-urlencoded", received.header("Content-Type").value_or(""));
    EXPECT_EQ("application/json", received.header("Accept").value_or(""));
    EXPECT_EQ("app=X&action=servercall&app=X&lsync=D&lfsync=F&os_version=" + osVersion() +
                  "&uuid=U&lang=en&app_version=1.0.0&nonce=n1&params=a%20b%26c%3Dä&extra=1&more=%20",
              received.body);
    EXPECT_EQ(60s, created.request->timeoutInterval);
}

TEST_F(ServerComRequestTest, formWithAnActionAndEmptyAppAndParams)
{
    sharedConfig().defaults.set("app", "");
    auto created = sharedServerCom().createRequest("", "", "", "file", "");
    ASSERT_TRUE(created.request);
    EXPECT_EQ("app=&action=file&lsync=D&lfsync=F&os_version=" + osVersion() +
                  "&uuid=U&lang=en&app_version=1.0.0&nonce=n1",
              send(*created.request).body);
}

TEST_F(ServerComRequestTest, multipartBodyByteForByte)
{
    testsupport::writeFile(sharedConfig().UPLOADURL / "photo.png", std::string("\x89PNG\r\n\0data", 11));
    auto created = sharedServerCom().createRequest("a b&c", "&ignored=1", "photo.png", "file", "");
    ASSERT_TRUE(created.request) << created.errorDescription;

    auto received = send(*created.request);

    const std::string contentType = received.header("Content-Type").value_or("");
    ASSERT_TRUE(contentType.starts_with("multipart/form-data; boundary=Boundary-")) << contentType;
    const std::string boundary = contentType.substr(contentType.find('=') + 1);
    EXPECT_EQ(45u, boundary.size());
    // No Accept of its own: the session's default.
    EXPECT_EQ("*/*", received.header("Accept").value_or(""));
    auto part = [&](const std::string& name, const std::string& value) {
        return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    };
    const std::string expected = part("action", "servercall") + part("app", "X") + part("app_version", "1.0.0") +
                                 part("lang", "en") + part("nonce", "n1") + part("os_version", osVersion()) +
                                 part("otp", "") + part("params", "a b&c") + part("uuid", "U") + "--" + boundary +
                                 "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"photo.png\"\r\n"
                                 "Content-Type: image/png\r\n\r\n" +
                                 std::string("\x89PNG\r\n\0data", 11) + "\r\n--" + boundary + "--\r\n";
    EXPECT_EQ(expected, received.body);
}

// A file name with quotation marks and line breaks can't end its multipart header early.
TEST_F(ServerComRequestTest, multipartFileNameIsEscaped)
{
    const std::string name = "x\"\r\nX-Injected: 1\r\n\r\n.bin";
    testsupport::writeFile(sharedConfig().UPLOADURL / name, "payload");
    auto created = sharedServerCom().createRequest("", "", name, "", "");
    ASSERT_TRUE(created.request) << created.errorDescription;
    auto body = *created.request->httpBody;
    EXPECT_NE(std::string::npos,
              body.find("filename=\"x%22%0D%0AX-Injected: 1%0D%0A%0D%0A.bin\"\r\n"
                        "Content-Type: application/octet-stream\r\n\r\npayload\r\n"));
}

// An upload name that leads out of the upload folder fails like a file that can't be read.
TEST_F(ServerComRequestTest, uploadNamesOutsideTheUploadFolderAreRefused)
{
    testsupport::writeFile(sharedConfig().UPLOADURL.parent_path() / "index.html", "secret page");
    testsupport::writeFile(sharedConfig().UPLOADURL / "sub" / "inner.txt", "inner");
    for (const std::string name : {"../index.html", "/etc/hostname", "sub/inner.txt", "..", "missing.txt"}) {
        auto created = sharedServerCom().createRequest("", "", name, "", "");
        EXPECT_FALSE(created.request) << name;
        EXPECT_FALSE(created.errorDescription.empty()) << name;
    }
}

TEST_F(ServerComRequestTest, externalAddressOnlyWithStrategyAny)
{
    const std::string external = server.url("/elsewhere?x=1");
    auto refused = sharedServerCom().createRequest("p", "", "", "", external);
    EXPECT_FALSE(refused.request);
    EXPECT_EQ(platform::UrlError::make(platform::UrlErrorCode::cannotFindHost).localizedDescription,
              refused.errorDescription);

    sharedConfig().defaults.set("EXTERNAL_SERVERCALL_STRATEGY", "any");
    auto allowed = sharedServerCom().createRequest("p", "", "", "", external);
    ASSERT_TRUE(allowed.request);
    EXPECT_EQ(external, allowed.request->url);
    // Each build took a nonce, the refused one too.
    EXPECT_NE(std::string::npos, allowed.request->httpBody->find("&nonce=n2"));

    sharedConfig().defaults.set("serverpath", 5);
    EXPECT_FALSE(sharedServerCom().createRequest("p", "", "", "", "").request);
}
