// Reading the content server's update reply (parseXML, RequestProperties::populate) and the
// request of the update check.

#include "contentserver/RequestProperties.h"
#include "base/Config.h"
#include "contentserver/ServerCom.h"
#include "platform/Platform.h"
#include "platform/UrlSession.h"
#include "tests/support/FakeReachability.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

namespace {

RequestProperties populated(const std::string& body)
{
    RequestProperties properties;
    properties.populate(sharedServerCom().parseXML(body));
    return properties;
}

std::string response(const std::string& elements)
{
    return "<?xml version=\"1.0\"?>\n<response>" + elements + "</response>";
}

} // namespace

TEST(RequestProperties, populateReadsTheReplyElements)
{
    struct Case {
        const char* scenario;
        std::string body;
        updateTypeEnum type;
        std::string typeText;
        double size;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"a full update", response("<type>full</type><date>20240101</date><size>1048576</size><path>/p.zip</path>"),
         updateTypeEnum::FULL, "full", 1048576, "/p.zip"},
        {"incremental", response("<type>incremental</type>"), updateTypeEnum::INCREMENTAL, "incremental", 0, ""},
        {"an error reply", response("<type>ERROR</type>"), updateTypeEnum::ERROR, "ERROR", 0, ""},
        {"nop", response("<type>nop</type>"), updateTypeEnum::NOP, "nop", 0, ""},
        {"types are case-sensitive", response("<type>Full</type>"), updateTypeEnum::NOP, "Full", 0, ""},
        {"an empty type", response("<type></type>"), updateTypeEnum::NOP, "", 0, ""},
        {"no type", response("<size>12</size>"), updateTypeEnum::NOP, "", 12, ""},
        {"a blank before the size", response("<size> 12</size>"), updateTypeEnum::NOP, "", 0, ""},
        {"a unit after the size", response("<size>12MB</size>"), updateTypeEnum::NOP, "", 0, ""},
        {"an empty size", response("<size></size>"), updateTypeEnum::NOP, "", 0, ""},
        {"an exponent", response("<size>1.5e3</size>"), updateTypeEnum::NOP, "", 1500, ""},
        {"an address as path", response("<path>https://cdn.example/p.zip?a=1&amp;b=2</path>"),
         updateTypeEnum::NOP, "", 0, "https://cdn.example/p.zip?a=1&b=2"},
        {"elements deeper down", response("<update><type>full</type></update>"), updateTypeEnum::NOP, "", 0, ""},
        // An error element across two lines is no server error text; the reply is read as XML.
        {"an error over two lines", response("<type>incremental</type><error>de\nnied</error>"),
         updateTypeEnum::INCREMENTAL, "incremental", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        const auto properties = populated(c.body);
        EXPECT_EQ(c.type, properties.updateType);
        EXPECT_EQ(c.typeText, properties.updateTypeStr);
        EXPECT_EQ(c.size, properties.packageSize);
        EXPECT_EQ(c.path, properties.downloadFilePath);
    }
}

TEST(RequestProperties, populateKeepsTextsAndLeavesMissingFieldsAlone)
{
    RequestProperties properties;
    properties.landingPage = "kept.html";
    properties.populate(sharedServerCom().parseXML(
        response("<date>20240102030405</date><sha1>abc</sha1><script><![CDATA[if (a < b) go('x');]]></script>"
                 "<secret>k\xC3\xA4y</secret>")));
    EXPECT_EQ("20240102030405", properties.serverDateStr);
    EXPECT_EQ("abc", properties.sha1sumStr);
    EXPECT_EQ("if (a < b) go('x');", properties.jScript);
    EXPECT_EQ("k\xC3\xA4y", properties.secretKey);
    EXPECT_EQ("kept.html", properties.landingPage);

    // A date of one character is logged and kept.
    testsupport::LogCapture log;
    EXPECT_EQ("7", populated(response("<date>7</date>")).serverDateStr);
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Logger::Level::Error, "Did not receive a date from server XML response: 7"));
}

TEST(ServerComParseXML, serverErrorTextOnOneLineIsRefused)
{
    struct Case {
        std::string body;
        std::string element;
    };
    const std::vector<Case> cases = {
        {response("<error>denied</error>"), "<error>denied</error>"},
        {"<error>a</error> and <error>b</error>\n<error>c</error>", "<error>a</error> and <error>b</error>"},
        {"<error>open\nline</error> then <error></error>", "<error></error>"},
        {"plain text <error>no xml at all</error>", "<error>no xml at all</error>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        try {
            sharedServerCom().parseXML(c.body);
            ADD_FAILURE() << "no error thrown";
        } catch (const fetchAppXmlError& error) {
            EXPECT_EQ(fetchAppXmlError::Kind::custom, error.kind());
            const std::string expected = "custom error: Server Error: " + c.element + ") : ServerComUpdateCheck.cpp  :  ";
            EXPECT_EQ(expected, std::string(error.what()).substr(0, expected.size()));
        }
    }
    // A body that is no UTF-8 text is no reply at all.
    EXPECT_THROW(sharedServerCom().parseXML("<error>\xFF</error>"), fetchAppXmlError);
}

namespace {

// A session that keeps the requests it is given and never answers.
class RecordingUrlSession final : public platform::UrlSession {
public:
    using UrlSession::UrlSession;
    std::vector<platform::UrlRequest> requests;

protected:
    std::shared_ptr<platform::UrlSessionTask> dataTaskImpl(platform::UrlRequest request, Finish) override
    {
        requests.push_back(std::move(request));
        return nullptr;
    }
    std::shared_ptr<platform::UrlSessionTask> downloadTaskImpl(platform::UrlRequest request,
                                                               std::shared_ptr<platform::DownloadFile>, Finish) override
    {
        requests.push_back(std::move(request));
        return nullptr;
    }
};

} // namespace

TEST(ServerComUpdateCheck, requestIsAGetOfTheUpdateAddressWithATenSecondTimeOut)
{
    auto session = std::make_shared<RecordingUrlSession>(platform::UrlSessionConfiguration{});
    auto network = std::make_shared<testsupport::FakeReachability>();
    network->setFlags(platform::Reachability::reachable);
    platform::Platform installed;
    installed.reachability = network;
    installed.makeUrlSession = [session](platform::UrlSessionConfiguration) { return session; };
    platform::install(std::move(installed));

    struct Case {
        std::string serverName;
        std::string serverPath;
        std::string address;
    };
    const std::vector<Case> cases = {
        {"example.org", "/app/", "https://example.org/app/update.php?app=X&lsync=D&lfsync=F"},
        // A path without its leading "/" still goes below the host.
        {"example.org", "app/", "https://example.org/app/update.php?app=X&lsync=D&lfsync=F"},
        {"example.org:8443/base/", "v2/", "https://example.org:8443/base/v2/update.php?app=X&lsync=D&lfsync=F"},
    };
    auto& defaults = sharedConfig().defaults;
    defaults.set("serverprotocol", "https://");
    defaults.set("serverfile", "update.php");
    defaults.set("app", "X");
    defaults.set("date", "D");
    defaults.set("full", "F");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.serverName + " " + c.serverPath);
        defaults.set("servername", c.serverName);
        defaults.set("serverpath", c.serverPath);
        sharedServerCom().updateCheck(false, [](auto) {});
        ASSERT_FALSE(session->requests.empty());
        const auto request = session->requests.back();
        EXPECT_EQ("GET", request.httpMethod);
        EXPECT_EQ(c.address, request.url.substr(0, c.address.size()));
        EXPECT_EQ(std::chrono::seconds(10), request.timeoutInterval);
    }
}
