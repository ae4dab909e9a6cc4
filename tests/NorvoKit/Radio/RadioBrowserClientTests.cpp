#include "Radio/RadioBrowserClient.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>

#include "Support/ScriptedDirectoryTransport.hpp"

namespace norvo {
namespace {

using test::ScriptedDirectoryTransport;
using Error = RadioBrowserClient::Error;
using Query = RadioBrowserClient::Query;
using Names = std::vector<std::string>;
using Reply = ScriptedDirectoryTransport::Reply;

const Names fallback{"f1.example.org", "f2.example.org", "f3.example.org"};

class DirectoryClientTest : public testing::Test {
protected:
    DirectoryClientTest() { reset(testConfiguration()); }

    static RadioBrowserClient::Configuration testConfiguration() {
        RadioBrowserClient::Configuration configuration;
        configuration.listHost = "list.example.org";
        configuration.fallbackServers = fallback;
        configuration.userAgent = "Tester/1";
        configuration.random = [] { return uint64_t{0}; };
        configuration.locale = Locale("en_US");
        return configuration;
    }

    void reset(RadioBrowserClient::Configuration configuration) {
        client_.reset();
        auto transport = std::make_unique<ScriptedDirectoryTransport>();
        transport_ = transport.get();
        client_ = std::make_unique<RadioBrowserClient>(std::move(configuration), std::move(transport));
    }

    // Answers each host from the table; the list host is down unless it is listed.
    void answer(std::map<std::string, std::function<Reply(const Url&)>> byHost) {
        transport_->respond = [byHost = std::move(byHost)](const Url& url) {
            auto it = byHost.find(url.host());
            if (it == byHost.end()) return ScriptedDirectoryTransport::failure(HttpError::Kind::cannotConnectToHost);
            return it->second(url);
        };
    }

    static std::function<Reply(const Url&)> always(Reply reply) {
        return [reply](const Url&) { return reply; };
    }

    RadioBrowserClient::Result<std::string> get(std::string path = "/json/stats",
                                                std::vector<RadioBrowserClient::QueryItem> query = {}) {
        std::optional<RadioBrowserClient::Result<std::string>> result;
        client_->get(std::move(path), std::move(query), [&](auto r) { result.emplace(std::move(r)); });
        transport_->run();
        EXPECT_TRUE(result.has_value());
        return result.value_or(Error::cannotFindHost());
    }

    ScriptedDirectoryTransport* transport_;
    std::unique_ptr<RadioBrowserClient> client_;
};

TEST_F(DirectoryClientTest, TheListHostsStatusPlaysNoPart) {
    answer({{"list.example.org",
             always(Reply{500, R"([{"name":"a.example.org"},{"name":"a.example.org"},{"name":"f1.example.org"}])",
                          std::nullopt})}});
    get();
    // The named hosts are shuffled (the scripted random source swaps the two), then the
    // other fallback hosts follow in order.
    EXPECT_EQ(client_->serverState().servers,
              (Names{"f1.example.org", "a.example.org", "f2.example.org", "f3.example.org"}));
}

TEST_F(DirectoryClientTest, AnUnreadableListGivesTheFallbackHosts) {
    for (std::string body : {R"([{"name":"a.example.org"},{"ip":"1.2.3.4"}])", "[]", "<html>busy</html>"}) {
        reset(testConfiguration());
        answer({{"list.example.org", always(ScriptedDirectoryTransport::ok(body))}});
        get();
        EXPECT_EQ(client_->serverState().servers, fallback) << body;
    }
}

TEST_F(DirectoryClientTest, OnlyStatus200Succeeds) {
    for (int status : {204, 206, 301, 404}) {
        answer({{"f1.example.org", always(Reply{status, "body", std::nullopt})},
                {"f2.example.org", always(Reply{status, "body", std::nullopt})},
                {"f3.example.org", always(Reply{status, "body", std::nullopt})}});
        auto result = get();
        ASSERT_FALSE(result) << status;
        EXPECT_EQ(result.error(), Error::badServerResponse()) << status;
    }
}

// Like the scripted transport, except that the replies of one host wait until nothing
// else is left to do: a server that takes its whole time-out to fail.
class SlowHostTransport final : public RadioBrowserClient::Transport {
public:
    SlowHostTransport(std::string slowHost, std::function<Reply(const Url&)> respond)
        : slowHost_(std::move(slowHost)), respond_(std::move(respond)) {}

    void dispatch(std::function<void()> work) override { queue_.push_back(std::move(work)); }
    void dispatchSync(const std::function<void()>& work) override { work(); }
    void fetch(HttpRequest request, std::function<void(HttpLoop::FetchResult)> completion) override {
        const auto url = Url::parse(request.url);
        asked->emplace_back(url->path(), url->host());
        const Reply reply = respond_(*url);
        auto answer = [reply, completion = std::move(completion), address = request.url] {
            HttpLoop::FetchResult result;
            if (reply.error) result.error = reply.error;
            else {
                result.response = HttpResponse{address, reply.status, std::nullopt, {}};
                result.body = reply.body;
            }
            completion(std::move(result));
        };
        (url->host() == slowHost_ ? slow_ : queue_).push_back(std::move(answer));
    }
    void run() {
        for (;;) {
            while (!queue_.empty()) {
                auto work = std::move(queue_.front());
                queue_.pop_front();
                work();
            }
            if (slow_.empty()) return;
            auto late = std::move(slow_.front());
            slow_.pop_front();
            late();
        }
    }

    // (path, host) of every request, in order.
    std::shared_ptr<std::vector<std::pair<std::string, std::string>>> asked =
        std::make_shared<std::vector<std::pair<std::string, std::string>>>();

private:
    std::string slowHost_;
    std::function<Reply(const Url&)> respond_;
    std::deque<std::function<void()>> queue_, slow_;
};

TEST_F(DirectoryClientTest, TwoRequestsThatFailTogetherBothFindTheWorkingServer) {
    // The first server answers 500, the second never answers (its time-out comes last),
    // the third works. The band and the countries are asked for together.
    auto transport = std::make_unique<SlowHostTransport>("f2.example.org", [](const Url& url) {
        if (url.host() == "f1.example.org") return ScriptedDirectoryTransport::status(500);
        if (url.host() == "f2.example.org") return ScriptedDirectoryTransport::failure(HttpError::Kind::timedOut);
        if (url.host() == "f3.example.org") return ScriptedDirectoryTransport::ok("works");
        return ScriptedDirectoryTransport::failure(HttpError::Kind::cannotConnectToHost);
    });
    SlowHostTransport& slow = *transport;
    const auto asked = slow.asked;
    client_ = std::make_unique<RadioBrowserClient>(testConfiguration(), std::move(transport));

    std::optional<RadioBrowserClient::Result<std::string>> band, countries;
    client_->get("/json/stations", {}, [&](auto r) { band.emplace(std::move(r)); });
    client_->get("/json/countries", {}, [&](auto r) { countries.emplace(std::move(r)); });
    slow.run();
    ASSERT_TRUE(band && countries);
    ASSERT_TRUE(*band) << band->error().message();
    ASSERT_TRUE(*countries) << countries->error().message();
    EXPECT_EQ(band->value(), "works");
    EXPECT_EQ(countries->value(), "works");
    // Each server that failed moved the shared position once: the working one stays in use.
    EXPECT_EQ(client_->serverState().serverIndex, 2);
    // No request asked a server twice.
    for (const std::string path : {"/json/stations", "/json/countries"}) {
        std::vector<std::string> hosts;
        for (const auto& [p, host] : *asked)
            if (p == path) hosts.push_back(host);
        EXPECT_EQ(std::set<std::string>(hosts.begin(), hosts.end()).size(), hosts.size()) << path;
        ASSERT_FALSE(hosts.empty());
        EXPECT_EQ(hosts.back(), "f3.example.org") << path;
    }
}

TEST_F(DirectoryClientTest, RequestsThatStartWhileTheListLoadsWaitForThatOneLoad) {
    // At power on the band, the countries and the click report all start before the list
    // has arrived. Each arrangement draws anew, so a second load would reorder the list.
    auto configuration = testConfiguration();
    configuration.random = [draws = uint64_t{0}]() mutable { return draws++; };
    reset(configuration);
    answer({{"list.example.org",
             always(ScriptedDirectoryTransport::ok(R"([{"name":"a.example.org"},{"name":"b.example.org"}])"))},
            {"a.example.org", always(ScriptedDirectoryTransport::ok("from a"))},
            {"b.example.org", always(ScriptedDirectoryTransport::status(503))}});
    std::vector<std::optional<RadioBrowserClient::Result<std::string>>> results(3);
    for (std::size_t i = 0; i < results.size(); ++i)
        client_->get("/json/request" + std::to_string(i), {},
                     [&results, i](auto r) { results[i].emplace(std::move(r)); });
    transport_->run();

    std::size_t listFetches = 0;
    for (const auto& host : transport_->hosts()) listFetches += host == "list.example.org" ? 1 : 0;
    EXPECT_EQ(listFetches, 1u);
    for (std::size_t i = 0; i < results.size(); ++i) {
        ASSERT_TRUE(results[i]) << i;
        ASSERT_TRUE(*results[i]) << i << ": " << results[i]->error().message();
        EXPECT_EQ(results[i]->value(), "from a") << i;
    }
    const auto loaded = client_->serverState();
    EXPECT_EQ(loaded.servers.size(), 5u);

    // Once loaded, the list stays for the run.
    get();
    EXPECT_EQ(client_->serverState().servers, loaded.servers);
    listFetches = 0;
    for (const auto& host : transport_->hosts()) listFetches += host == "list.example.org" ? 1 : 0;
    EXPECT_EQ(listFetches, 1u);
}

TEST_F(DirectoryClientTest, AHostThatCannotFormAUrlEndsTheRequestWithoutMovingOn) {
    auto configuration = testConfiguration();
    configuration.fallbackServers = {"bad host", "f2.example.org"};
    reset(configuration);
    answer({{"f2.example.org", always(ScriptedDirectoryTransport::ok("unreached"))}});
    auto result = get();
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), Error::badURL());
    EXPECT_EQ(transport_->hosts(), (Names{"list.example.org"}));
    EXPECT_EQ(client_->serverState().serverIndex, 0);
    EXPECT_EQ(get().error(), Error::badURL());  // and so on, for the rest of the run
}

TEST_F(DirectoryClientTest, NoServerAtAllFailsWithCannotFindHost) {
    auto configuration = testConfiguration();
    configuration.fallbackServers = {};
    reset(configuration);
    auto result = get();
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), Error::cannotFindHost());
    EXPECT_EQ(transport_->hosts(), (Names{"list.example.org"}));
}

TEST_F(DirectoryClientTest, RequestsCarryTheUserAgentTimeoutAndEncodedQuery) {
    answer({{"f1.example.org", always(ScriptedDirectoryTransport::ok("[]"))}});
    get("/json/stations/search", {{"name", "AC/DC & Friends +1"}, {"limit", "400"}});
    get("/json/url/abc");
    ASSERT_EQ(transport_->requests.size(), 3u);
    const HttpRequest& search = transport_->requests[1];
    EXPECT_EQ(search.url, "https://f1.example.org/json/stations/search?name=AC%2FDC%20%26%20Friends%20%2B1&limit=400");
    EXPECT_EQ(search.headers, (std::vector<std::pair<std::string, std::string>>{{"User-Agent", "Tester/1"}}));
    EXPECT_EQ(search.headerTimeout, 12.0);
    EXPECT_EQ(search.idleTimeout, 12.0);
    EXPECT_EQ(transport_->requests[2].url, "https://f1.example.org/json/url/abc");
    EXPECT_EQ(transport_->requests[0].url, "https://list.example.org/json/servers");
}

TEST_F(DirectoryClientTest, StationsAreAskedForAndConverted) {
    std::string rows = R"([
        {"stationuuid":"1","name":"Radio Nova","url":"http://a.example/1","codec":"MP3","bitrate":128},
        {"stationuuid":"2","name":"Nova","url":"http://a.example/2","codec":"MP3"},
        {"stationuuid":"3","name":"Jazz","url":"http://a.example/3","codec":"AAC","hls":"yes"},
        {"stationuuid":"4","name":"Blues","url":"http://a.example/4","codec":"AAC"},
        {"stationuuid":"5","name":"Soul","url":"http://a.example/5","codec":"AAC"}])";
    answer({{"f1.example.org", always(ScriptedDirectoryTransport::ok(rows))}});
    std::optional<RadioBrowserClient::Result<std::vector<RadioStation>>> result;
    client_->stations(Query::genre("jazz"), 2, [&](auto r) { result.emplace(std::move(r)); });
    transport_->run();
    ASSERT_TRUE(result && *result);
    ASSERT_EQ(result->value().size(), 2u);
    EXPECT_EQ(result->value()[0].id, "1");
    EXPECT_EQ(result->value()[1].id, "4");  // 2 repeats a name, 3 does not read
    EXPECT_EQ(transport_->requests.back().url,
              "https://f1.example.org/json/stations/search?order=clickcount&reverse=true&hidebroken=true&limit=4&"
              "tag=jazz&tagExact=true");
}

TEST_F(DirectoryClientTest, StationsFailWithTheErrorOfTheRequestOrTheReply) {
    answer({{"f1.example.org", always(ScriptedDirectoryTransport::ok(R"({"error":"busy"})"))}});
    std::optional<RadioBrowserClient::Result<std::vector<RadioStation>>> result;
    client_->stations(Query::top(), 200, [&](auto r) { result.emplace(std::move(r)); });
    transport_->run();
    ASSERT_TRUE(result && !*result);
    EXPECT_EQ(result->error().kind, Error::Kind::decoding);

    answer({});
    result.reset();
    client_->stations(Query::top(), 200, [&](auto r) { result.emplace(std::move(r)); });
    transport_->run();
    ASSERT_TRUE(result && !*result);
    EXPECT_EQ(result->error().kind, Error::Kind::transport);
}

TEST_F(DirectoryClientTest, CountClickIgnoresFailures) {
    bool done = false;
    RadioStation station;
    station.id = "9617a958-0601-11e8-ae97-52543be04c81";
    client_->countClick(station, [&] { done = true; });
    transport_->run();
    EXPECT_TRUE(done);
    EXPECT_EQ(transport_->requests.back().url, "https://f3.example.org/json/url/9617a958-0601-11e8-ae97-52543be04c81");
}

struct QueryJSONCase {
    std::string name;
    std::string text;
    std::optional<Query> query;
    std::string error = {};
};

class QueryJSONTest : public testing::TestWithParam<QueryJSONCase> {};

TEST_P(QueryJSONTest, ReadsTheStoredBand) {
    const auto& c = GetParam();
    auto result = Query::fromJSONText(c.text);
    if (c.query) {
        ASSERT_TRUE(result) << result.error().message();
        EXPECT_EQ(result.value(), *c.query);
    } else {
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().kind, Error::Kind::decoding);
        if (!c.error.empty()) {
            EXPECT_EQ(result.error().message(), c.error);
        }
    }
}

const std::string keyCountError = "Invalid number of keys found, expected one.";

INSTANTIATE_TEST_SUITE_P(
    Texts, QueryJSONTest,
    testing::Values(QueryJSONCase{"Top", R"({"top":{}})", Query::top()},
                    QueryJSONCase{"TopContentsIgnored", R"({"top":{"_0":5}})", Query::top()},
                    QueryJSONCase{"Country", R"({"country":{"_0":"DE"}})", Query::country("DE")},
                    QueryJSONCase{"Genre", R"({"genre":{"_0":"jazz","x":1}})", Query::genre("jazz")},
                    QueryJSONCase{"Search", R"({"search":{"_0":"AC/DC"},"other":true})", Query::search("AC/DC")},
                    QueryJSONCase{"TwoCases", R"({"top":{},"genre":{"_0":"jazz"}})", std::nullopt, keyCountError},
                    QueryJSONCase{"NoCase", R"({"band":{}})", std::nullopt, keyCountError},
                    QueryJSONCase{"Empty", R"({})", std::nullopt, keyCountError},
                    QueryJSONCase{"MissingPayload", R"({"country":{}})", std::nullopt},
                    QueryJSONCase{"NumberPayload", R"({"country":{"_0":49}})", std::nullopt},
                    QueryJSONCase{"CaseNotAnObject", R"({"top":true})", std::nullopt},
                    QueryJSONCase{"NotAnObject", R"(["top"])", std::nullopt},
                    QueryJSONCase{"NotJSON", "top", std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(QueryTest, WritesOneMemberNamedAfterTheCase) {
    EXPECT_EQ(Query::country("DE").jsonValue().compact(), R"({"country":{"_0":"DE"}})");
    EXPECT_EQ(Query::top().jsonValue().compact(), R"({"top":{}})");
    for (const Query& query : {Query::top(), Query::country("DE"), Query::genre("jazz"), Query::search("a \"b\"")})
        EXPECT_EQ(Query::fromJSON(query.jsonValue()).value(), query);
}

TEST(QueryTest, EqualityAndHashFollowCaseAndPayload) {
    EXPECT_EQ(Query::country("DE"), Query::country("DE"));
    EXPECT_NE(Query::country("DE"), Query::country("de"));
    EXPECT_NE(Query::country("jazz"), Query::genre("jazz"));
    EXPECT_EQ(Query::top(), (Query{Query::Kind::top, "ignored"}));
    std::hash<Query> hash;
    EXPECT_EQ(hash(Query::top()), hash(Query{Query::Kind::top, "ignored"}));
    EXPECT_NE(hash(Query::country("jazz")), hash(Query::genre("jazz")));
}

TEST(DirectoryDefaultsTest, PublicDirectoryUsesHttpsAndOurUserAgent) {
    auto configuration = RadioBrowserClient::Configuration::publicDirectory();
    EXPECT_EQ(configuration.scheme, "https");
    EXPECT_EQ(configuration.fallbackServers.size(), 3u);
    EXPECT_EQ(configuration.timeoutSeconds, 12.0);
    EXPECT_EQ(configuration.userAgent.rfind("NorvoStudio/1.2 (+", 0), 0u);
    EXPECT_EQ(configuration.userAgent.back(), ')');
    EXPECT_TRUE(Url::isHostWithOptionalPort(configuration.listHost));
    for (const auto& host : configuration.fallbackServers) EXPECT_TRUE(Url::isHostWithOptionalPort(host)) << host;
}

}  // namespace
}  // namespace norvo
