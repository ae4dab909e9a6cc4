#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <set>

#include "Platform/PercentEncoding.hpp"
#include "Radio/RadioBrowserClient.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "Support/RefusingPort.hpp"

namespace norvo {
namespace {

using test::LoopbackHttpServer;
using test::RefusingPort;
using Error = RadioBrowserClient::Error;
using Names = std::vector<std::string>;

constexpr auto replyWait = std::chrono::seconds(20);

std::string hostOf(const LoopbackHttpServer& server) { return "127.0.0.1:" + std::to_string(server.port()); }

LoopbackHttpServer::Script json(std::string body) {
    LoopbackHttpServer::Script script;
    script.headers = {{"Content-Type", "application/json"}};
    script.body = std::move(body);
    script.contentLength = true;
    return script;
}

// Three built-in servers and a list host, all on loopback and spoken to over http.
class DirectoryLoopbackTest : public testing::Test {
protected:
    RadioBrowserClient::Configuration configuration(const std::string& listHost) const {
        RadioBrowserClient::Configuration c;
        c.scheme = "http";
        c.listHost = listHost;
        c.fallbackServers = builtIn();
        c.timeoutSeconds = 10;
        c.userAgent = RadioBrowserClient::userAgent;
        c.locale = Locale("en_US");
        return c;
    }

    Names builtIn() const { return {hostOf(a_), hostOf(b_), hostOf(c_)}; }

    static RadioBrowserClient::Result<std::string> get(RadioBrowserClient& client, std::string path,
                                                       std::vector<RadioBrowserClient::QueryItem> query = {}) {
        std::promise<RadioBrowserClient::Result<std::string>> promise;
        auto future = promise.get_future();
        client.get(std::move(path), std::move(query),
                   [&promise](auto result) { promise.set_value(std::move(result)); });
        if (future.wait_for(replyWait) != std::future_status::ready) return Error::cannotFindHost();
        return future.get();
    }

    LoopbackHttpServer a_{16, 60};
    LoopbackHttpServer b_{16, 60};
    LoopbackHttpServer c_{16, 60};
    LoopbackHttpServer list_{16, 60};
    RefusingPort refusing_;
};

TEST_F(DirectoryLoopbackTest, ListHostDownGivesBuiltInHostsAndTheThirdsError) {
    a_.route("/json/stats", LoopbackHttpServer::status(503, "Service Unavailable"));
    b_.route("/json/stats", LoopbackHttpServer::status(204, "No Content"));
    auto config = configuration(refusing_.hostAndPort());
    config.fallbackServers = {hostOf(a_), hostOf(b_), refusing_.hostAndPort()};
    RadioBrowserClient client(config);

    auto result = get(client, "/json/stats");
    ASSERT_FALSE(result);
    ASSERT_EQ(result.error().kind, Error::Kind::transport);
    EXPECT_EQ(result.error().transportError->kind, HttpError::Kind::cannotConnectToHost);
    EXPECT_EQ(a_.requestCount("/json/stats"), 1u);
    EXPECT_EQ(b_.requestCount("/json/stats"), 1u);  // 204 is a failure too
    EXPECT_EQ(client.serverState(), (RadioBrowserClient::ServerState{config.fallbackServers, 3}));

    // The next request starts on the first host again.
    a_.route("/json/stats", json("{}"));
    EXPECT_EQ(get(client, "/json/stats").value(), "{}");
    EXPECT_EQ(a_.requestCount("/json/stats"), 2u);
}

TEST_F(DirectoryLoopbackTest, OneListedHostMakesFourServersAndAtMostThreeAttempts) {
    LoopbackHttpServer extra{16, 60};
    list_.route("/json/servers", json(R"([{"name":")" + hostOf(extra) + R"(","ip":"127.0.0.1"}])"));
    for (auto* server : {&extra, &a_, &b_, &c_}) server->route("/json/stats", LoopbackHttpServer::status(500, "Oops"));
    RadioBrowserClient client(configuration(hostOf(list_)));

    auto result = get(client, "/json/stats");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), Error::badServerResponse());
    EXPECT_EQ(client.serverState().servers, (Names{hostOf(extra), hostOf(a_), hostOf(b_), hostOf(c_)}));
    EXPECT_EQ(extra.requestCount("/json/stats") + a_.requestCount("/json/stats") + b_.requestCount("/json/stats") +
                  c_.requestCount("/json/stats"),
              3u);
    EXPECT_EQ(c_.requestCount("/json/stats"), 0u);
    EXPECT_EQ(list_.requestCount("/json/servers"), 1u);
    auto listRequest = list_.requests().front();
    EXPECT_EQ(listRequest.header("user-agent"), RadioBrowserClient::userAgent);
}

TEST_F(DirectoryLoopbackTest, RepeatedAndBuiltInNamesAppearOnce) {
    // The new name is a loopback port that refuses, so a request sent there stays here.
    RefusingPort other;
    const std::string otherName = other.hostAndPort();
    list_.route("/json/servers", json(R"([{"name":")" + otherName + R"("},{"name":")" + hostOf(b_) + R"("},{"name":")" +
                                      otherName + R"("},{"name":"not a host"}])"));
    RadioBrowserClient client(configuration(hostOf(list_)));
    b_.route("/json/stats", json("[]"));
    a_.route("/json/stats", json("[]"));
    c_.route("/json/stats", json("[]"));
    get(client, "/json/stats");
    auto servers = client.serverState().servers;
    ASSERT_EQ(servers.size(), 4u);
    EXPECT_EQ(std::set<std::string>(servers.begin(), servers.begin() + 2),
              (std::set<std::string>{otherName, hostOf(b_)}));
    EXPECT_EQ((Names{servers[2], servers[3]}), (Names{hostOf(a_), hostOf(c_)}));
}

TEST_F(DirectoryLoopbackTest, AnEntryWithoutNameMakesTheListUnreadable) {
    list_.route("/json/servers", json(R"([{"name":"127.0.0.1:9"},{"ip":"127.0.0.1"}])"));
    a_.route("/json/stats", json("{}"));
    RadioBrowserClient client(configuration(hostOf(list_)));
    EXPECT_TRUE(get(client, "/json/stats"));
    EXPECT_EQ(client.serverState(), (RadioBrowserClient::ServerState{builtIn(), 0}));
}

TEST_F(DirectoryLoopbackTest, AnAnsweringServerKeepsServingUntilItFailsOnce) {
    list_.route("/json/servers", LoopbackHttpServer::status(500, "Broken"));
    a_.routeSequence("/json/stats", {json("\"a\""), json("\"a\""), LoopbackHttpServer::status(502, "Bad Gateway")});
    b_.route("/json/stats", json("\"b\""));
    RadioBrowserClient client(configuration(hostOf(list_)));
    EXPECT_EQ(get(client, "/json/stats").value(), "\"a\"");
    EXPECT_EQ(get(client, "/json/stats").value(), "\"a\"");
    EXPECT_EQ(get(client, "/json/stats").value(), "\"b\"");
    EXPECT_EQ(get(client, "/json/stats").value(), "\"b\"");
    EXPECT_EQ(a_.requestCount("/json/stats"), 3u);
    EXPECT_EQ(b_.requestCount("/json/stats"), 2u);
    EXPECT_EQ(client.serverState().serverIndex, 1);
}

TEST_F(DirectoryLoopbackTest, SearchTextArrivesIntactAndAnEmptyQuerySendsNoQuestionMark) {
    a_.route("/json/stations/search", json(R"([{"stationuuid":"s1","name":"AC/DC & Friends +1",
        "url":"http://127.0.0.1:9/live","codec":"MP3","bitrate":192}])"));
    a_.route("/json/url/s1", json(R"({"ok":true})"));
    RadioBrowserClient client(configuration(refusing_.hostAndPort()));

    std::promise<RadioBrowserClient::Result<std::vector<RadioStation>>> searched;
    client.stations(RadioBrowserClient::Query::search("AC/DC & Friends +1"), 200,
                    [&searched](auto result) { searched.set_value(std::move(result)); });
    auto future = searched.get_future();
    ASSERT_EQ(future.wait_for(replyWait), std::future_status::ready);
    auto stations = future.get();
    ASSERT_TRUE(stations);
    ASSERT_EQ(stations.value().size(), 1u);
    EXPECT_EQ(stations.value()[0].formatLabel(), "MP3 192k");

    std::promise<void> clicked;
    client.countClick(stations.value()[0], [&clicked] { clicked.set_value(); });
    ASSERT_EQ(clicked.get_future().wait_for(replyWait), std::future_status::ready);

    auto requests = a_.requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string& target = requests[0].target;
    auto nameAt = target.find("&name=");
    ASSERT_NE(nameAt, std::string::npos) << target;
    EXPECT_EQ(PercentEncoding::decode(target.substr(nameAt + 6)), "AC/DC & Friends +1");
    EXPECT_EQ(target.substr(0, nameAt),
              "/json/stations/search?order=clickcount&reverse=true&hidebroken=true&limit=400");
    EXPECT_EQ(requests[1].target, "/json/url/s1");
    EXPECT_EQ(requests[1].header("user-agent"), RadioBrowserClient::userAgent);
}

TEST_F(DirectoryLoopbackTest, CountriesComeSortedFromTheDirectory) {
    a_.route("/json/countries", json(R"([{"name":"Deutschland","iso_3166_1":"DE","stationcount":3000},
        {"name":"Österreich","iso_3166_1":"AT","stationcount":800},
        {"name":"Bogus","iso_3166_1":"BOG","stationcount":800}])"));
    RadioBrowserClient client(configuration(refusing_.hostAndPort()));
    std::promise<RadioBrowserClient::Result<std::vector<RadioBrowserClient::Country>>> promise;
    client.countries([&promise](auto result) { promise.set_value(std::move(result)); });
    auto future = promise.get_future();
    ASSERT_EQ(future.wait_for(replyWait), std::future_status::ready);
    auto countries = future.get();
    ASSERT_TRUE(countries);
    EXPECT_EQ(countries.value(),
              (std::vector<RadioBrowserClient::Country>{{"AT", "Austria", 800}, {"DE", "Germany", 3000}}));
    EXPECT_EQ(a_.requests().front().target, "/json/countries?hidebroken=true");
}

TEST_F(DirectoryLoopbackTest, ClosingTheClientWithARequestUnderWayEndsItSilently) {
    std::promise<void> arrived;
    a_.route("/json/stats", [&arrived](const LoopbackHttpServer::Request&) {
        arrived.set_value();
        LoopbackHttpServer::Script silent;
        silent.stallBeforeHeaders = true;
        return silent;
    });
    std::atomic<bool> completed{false};
    {
        RadioBrowserClient client(configuration(refusing_.hostAndPort()));
        client.get("/json/stats", {}, [&completed](auto) { completed = true; });
        // Close once the request is on the wire, unanswered.
        ASSERT_EQ(arrived.get_future().wait_for(replyWait), std::future_status::ready);
    }
    EXPECT_FALSE(completed);
}

}  // namespace
}  // namespace norvo
