#include "Radio/RadioBrowserClient.hpp"

#include <algorithm>
#include <array>
#include <random>

#include "Platform/PercentEncoding.hpp"
#include "Platform/StudioVersion.hpp"
#include "Platform/Url.hpp"
#include "Radio/CountryList.hpp"
#include "Radio/StationSearch.hpp"

namespace norvo {

namespace {

using Query = RadioBrowserClient::Query;

constexpr std::array<std::pair<std::string_view, Query::Kind>, 4> queryCases{{
    {"top", Query::Kind::top},
    {"country", Query::Kind::country},
    {"genre", Query::Kind::genre},
    {"search", Query::Kind::search},
}};

std::string_view caseName(Query::Kind kind) {
    for (const auto& [name, caseKind] : queryCases)
        if (caseKind == kind) return name;
    return "top";
}

uint64_t systemRandom() {
    thread_local std::random_device device;
    return (static_cast<uint64_t>(device()) << 32) | device();
}

// The directory's own thread: an HttpLoop that runs the client's work and fetches.
class LoopTransport final : public RadioBrowserClient::Transport {
public:
    void dispatch(std::function<void()> work) override { loop_.dispatch(std::move(work)); }
    void dispatchSync(const std::function<void()>& work) override { loop_.dispatchSync(work); }
    void fetch(HttpRequest request, std::function<void(HttpLoop::FetchResult)> completion) override {
        loop_.fetch(std::move(request), std::move(completion));
    }

private:
    HttpLoop loop_{"NorvoDirectory"};
};

std::string transportMessage(const HttpError& error) {
    switch (error.kind) {
    case HttpError::Kind::cannotFindHost: return "A server with the specified hostname could not be found.";
    case HttpError::Kind::cannotConnectToHost: return "Could not connect to the server.";
    case HttpError::Kind::notConnectedToInternet: return "The Internet connection appears to be offline.";
    case HttpError::Kind::networkConnectionLost: return "The network connection was lost.";
    case HttpError::Kind::timedOut: return "The request timed out.";
    case HttpError::Kind::secureConnectionFailed: return "A secure connection to the server could not be made.";
    case HttpError::Kind::bodyTooLarge: return "The server's reply is too large.";
    case HttpError::Kind::other: break;
    }
    return "The directory request failed.";
}

}  // namespace

const std::string RadioBrowserClient::userAgent = "NorvoStudio/" NORVO_STUDIO_VERSION " (+https://norvo.org)";

struct RadioBrowserClient::Request {
    std::string path;
    std::vector<QueryItem> query;
    std::function<void(Result<std::string>)> completion;
    int attempts = 0;
    int made = 0;
    Error error = Error::cannotFindHost();
    std::vector<std::string> tried;  // hosts this request has asked, in order
};

std::string RadioBrowserClient::Error::message() const {
    switch (kind) {
    case Kind::cannotFindHost: return "A server with the specified hostname could not be found.";
    case Kind::badURL: return "The directory address is not a valid URL.";
    case Kind::badServerResponse: return "The server returned a bad response.";
    case Kind::transport: return transportError ? transportMessage(*transportError) : "The directory request failed.";
    case Kind::decoding: return description;
    }
    return description;
}

JSONValue Query::jsonValue() const {
    JSONValue payload = JSONValue::Object{};
    if (kind != Kind::top) payload["_0"] = text;
    return JSONValue(JSONValue::Object{{std::string(caseName(kind)), std::move(payload)}});
}

RadioBrowserClient::Result<Query> Query::fromJSON(const JSONValue& value) {
    if (!value.isObject()) return Error::decoding("Expected to decode a query object but found another value.");
    const JSONValue* payload = nullptr;
    Kind kind = Kind::top;
    int found = 0;
    for (const auto& [name, caseKind] : queryCases) {
        if (const JSONValue* member = value.find(std::string(name))) {
            payload = member;
            kind = caseKind;
            ++found;
        }
    }
    if (found != 1) return Error::decoding("Invalid number of keys found, expected one.");
    std::string name(caseName(kind));
    if (!payload->isObject())
        return Error::decoding("Expected to decode an object under \"" + name + "\" but found another value.");
    if (kind == Kind::top) return Query::top();
    const JSONValue* text = payload->find("_0");
    if (!text) return Error::decoding("No value associated with key \"_0\" under \"" + name + "\".");
    if (!text->isString())
        return Error::decoding("Expected to decode a string under \"" + name + "._0\" but found another value.");
    return Query{kind, *text->string()};
}

RadioBrowserClient::Result<Query> Query::fromJSONText(std::string_view text) {
    auto value = JSONValue::parse(text);
    if (!value) return Error::decoding("The given data was not valid JSON.");
    return fromJSON(*value);
}

RadioBrowserClient::Configuration RadioBrowserClient::Configuration::publicDirectory() {
    Configuration configuration;
    configuration.scheme = "https";
    configuration.listHost = "all.api.radio-browser.info";
    configuration.fallbackServers = {"de1.api.radio-browser.info", "nl1.api.radio-browser.info",
                                     "at1.api.radio-browser.info"};
    configuration.timeoutSeconds = 12.0;
    configuration.userAgent = RadioBrowserClient::userAgent;
    return configuration;
}

RadioBrowserClient& RadioBrowserClient::shared() {
    static RadioBrowserClient client(Configuration::publicDirectory());
    return client;
}

RadioBrowserClient::RadioBrowserClient(Configuration configuration)
    : RadioBrowserClient(std::move(configuration), std::make_unique<LoopTransport>()) {}

RadioBrowserClient::RadioBrowserClient(Configuration configuration, std::unique_ptr<Transport> transport)
    : configuration_(std::move(configuration)),
      transport_(transport ? std::move(transport) : std::make_unique<LoopTransport>()) {
    if (!configuration_.random) configuration_.random = systemRandom;
}

// The transport is the last member, so it goes first: its thread stops while the state
// its work touches is still here, and work still running meanwhile finds it in place.
RadioBrowserClient::~RadioBrowserClient() = default;

void RadioBrowserClient::get(std::string path, std::vector<QueryItem> query,
                             std::function<void(Result<std::string>)> completion) {
    auto request = std::make_shared<Request>();
    request->path = std::move(path);
    request->query = std::move(query);
    request->completion = completion ? std::move(completion) : [](Result<std::string>) {};
    transport_->dispatch([this, request] { startRequest(request); });
}

void RadioBrowserClient::startRequest(const std::shared_ptr<Request>& request) {
    auto begin = [this, request] {
        request->attempts = static_cast<int>(std::min<std::size_t>(servers_.servers.size(), maximumAttempts));
        if (request->attempts == 0) {
            request->completion(request->error);
            return;
        }
        attempt(request);
    };
    // Loading always leaves at least the fallback hosts, so this waits on the first
    // requests of the run only: those that start while the list is loading wait for that
    // one load instead of each fetching and rearranging the list.
    if (!servers_.isEmpty()) {
        begin();
        return;
    }
    const bool loading = !waitingForServers_.empty();
    waitingForServers_.push_back(std::move(begin));
    if (!loading) loadServers();
}

void RadioBrowserClient::loadServers() {
    auto arrange = [this](const std::vector<std::string>& names) {
        servers_ = DirectoryServerList::arranged(names, configuration_.fallbackServers, configuration_.random);
        auto waiting = std::move(waitingForServers_);
        waitingForServers_.clear();
        for (auto& then : waiting) then();
    };
    Request listRequest;
    listRequest.path = "/json/servers";
    auto url = urlFor(configuration_.listHost, listRequest);
    if (!url) {
        arrange({});
        return;
    }
    // The status plays no part: a body that reads is used, whatever the status.
    transport_->fetch(httpRequest(*url), [arrange](HttpLoop::FetchResult result) {
        std::optional<std::vector<std::string>> names;
        if (!result.error) names = DirectoryServerList::namesFromReply(result.body);
        arrange(names.value_or(std::vector<std::string>{}));
    });
}

void RadioBrowserClient::attempt(const std::shared_ptr<Request>& request) {
    if (servers_.isEmpty()) {
        request->completion(request->error);
        return;
    }
    // The shared server, unless this request has asked it already: then the next one along
    // the list it has not asked. Other requests move the shared position meanwhile.
    std::string host = servers_.current();
    const auto triedBefore = [&](const std::string& name) {
        return std::find(request->tried.begin(), request->tried.end(), name) != request->tried.end();
    };
    const auto count = static_cast<int64_t>(servers_.servers.size());
    for (int64_t step = 0; step < count; ++step) {
        const auto& candidate = servers_.servers[static_cast<std::size_t>((servers_.serverIndex + step) % count)];
        if (!triedBefore(candidate)) {
            host = candidate;
            break;
        }
    }
    auto url = urlFor(host, *request);
    if (!url) {
        // Not a server failure: the index stays where it is.
        request->completion(Error::badURL());
        return;
    }
    request->tried.push_back(host);
    transport_->fetch(httpRequest(*url), [this, request, host](HttpLoop::FetchResult result) {
        if (!result.error && result.statusCode() == 200) {
            request->completion(std::move(result.body));
            return;
        }
        request->error = result.error ? Error::transport(*result.error) : Error::badServerResponse();
        // Only while the shared position still names the server that failed: another
        // request may have moved on already, and moving again would skip a working one.
        if (!servers_.isEmpty() && servers_.current() == host) servers_.recordFailure();
        if (++request->made < request->attempts) attempt(request);
        else request->completion(request->error);
    });
}

std::optional<std::string> RadioBrowserClient::urlFor(const std::string& host, const Request& request) const {
    if (!Url::isHostWithOptionalPort(host) || request.path.empty() || request.path.front() != '/') return std::nullopt;
    std::string text = configuration_.scheme + "://" + host + PercentEncoding::encodePath(request.path);
    if (!request.query.empty()) text += "?" + PercentEncoding::encodeQuery(request.query);
    auto url = Url::parse(text);
    if (!url || url->scheme() != configuration_.scheme || url->host().empty()) return std::nullopt;
    return text;
}

HttpRequest RadioBrowserClient::httpRequest(std::string url) const {
    HttpRequest request;
    request.url = std::move(url);
    request.headers = {{"User-Agent", configuration_.userAgent}};
    // The time-out is how long a request may wait for its next data.
    request.headerTimeout = configuration_.timeoutSeconds;
    request.idleTimeout = configuration_.timeoutSeconds;
    request.totalTimeout = 0;
    return request;
}

void RadioBrowserClient::stations(Query query, int64_t limit,
                                  std::function<void(Result<std::vector<RadioStation>>)> completion) {
    get(std::string(StationSearch::path), StationSearch::queryItems(query, limit),
        [limit, completion = std::move(completion)](Result<std::string> body) {
            if (!body) return completion(body.error());
            auto rows = StationSearch::rowsFromReply(body.value());
            if (!rows) return completion(rows.error());
            completion(StationSearch::makeStations(rows.value(), limit));
        });
}

void RadioBrowserClient::countries(std::function<void(Result<std::vector<Country>>)> completion) {
    get(std::string(CountryList::path), {{"hidebroken", "true"}},
        [this, completion = std::move(completion)](Result<std::string> body) {
            if (!body) return completion(body.error());
            auto rows = CountryList::rowsFromReply(body.value());
            if (!rows) return completion(rows.error());
            completion(CountryList::countries(rows.value(), configuration_.locale));
        });
}

void RadioBrowserClient::countClick(const std::string& stationID, std::function<void()> done) {
    get("/json/url/" + stationID, {}, [done = std::move(done)](const Result<std::string>&) {
        if (done) done();
    });
}

RadioBrowserClient::ServerState RadioBrowserClient::serverState() const {
    ServerState state;
    transport_->dispatchSync([&] { state = {servers_.servers, servers_.serverIndex}; });
    return state;
}

}  // namespace norvo
