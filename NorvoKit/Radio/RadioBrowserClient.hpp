#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "Platform/HttpError.hpp"
#include "Platform/HttpLoop.hpp"
#include "Platform/HttpRequest.hpp"
#include "Platform/JSONValue.hpp"
#include "Platform/Locale.hpp"
#include "Radio/DirectoryServerList.hpp"
#include "Radio/RadioStation.hpp"

namespace norvo {

// The one client of the public station directory. It keeps the list of directory
// servers and runs every request with failover from one server to the next.
//
// It behaves as an actor: its state lives on its own thread (an HttpLoop of its own),
// and every operation is asynchronous. Operations may be called from any thread; their
// completions run on the client's thread, so a caller hands results on to its own
// thread (the tuner through its MainExecutor).
class RadioBrowserClient {
public:
    using QueryItem = std::pair<std::string, std::string>;

    // What a directory operation can fail with.
    struct Error {
        enum class Kind {
            cannotFindHost,     // there is no server to ask
            badURL,             // no valid URL could be formed for the server
            badServerResponse,  // the last server answered with a status other than 200
            transport,          // the last server could not be reached or broke off
            decoding,           // the reply, or a stored query, could not be read
        };

        Kind kind = Kind::cannotFindHost;
        std::optional<HttpError> transportError;  // for `transport`
        std::string description;                  // for `decoding`: what was wrong

        static Error cannotFindHost() { return {Kind::cannotFindHost, std::nullopt, {}}; }
        static Error badURL() { return {Kind::badURL, std::nullopt, {}}; }
        static Error badServerResponse() { return {Kind::badServerResponse, std::nullopt, {}}; }
        static Error transport(HttpError error) { return {Kind::transport, std::move(error), {}}; }
        static Error decoding(std::string description) {
            return {Kind::decoding, std::nullopt, std::move(description)};
        }

        // A short English sentence.
        std::string message() const;

        bool operator==(const Error&) const = default;
    };

    // A value or the error that took its place.
    template <typename T>
    class Result {
    public:
        Result(T value) : storage_(std::in_place_index<0>, std::move(value)) {}
        Result(Error error) : storage_(std::in_place_index<1>, std::move(error)) {}

        bool ok() const { return storage_.index() == 0; }
        explicit operator bool() const { return ok(); }
        // Only when ok().
        const T& value() const& { return std::get<0>(storage_); }
        T& value() & { return std::get<0>(storage_); }
        T&& value() && { return std::get<0>(std::move(storage_)); }
        // Only when !ok().
        const Error& error() const { return std::get<1>(storage_); }
        const T* operator->() const { return &value(); }

    private:
        std::variant<T, Error> storage_;
    };

    // The question that defines a band. `text` is the payload of every case but `top`.
    struct Query {
        enum class Kind { top, country, genre, search };

        Kind kind = Kind::top;
        std::string text;

        static Query top() { return {}; }
        static Query country(std::string code) { return {Kind::country, std::move(code)}; }
        static Query genre(std::string tag) { return {Kind::genre, std::move(tag)}; }
        static Query search(std::string text) { return {Kind::search, std::move(text)}; }

        // {"country": {"_0": "DE"}}, {"top": {}}: the stored form of the tuner's band.
        JSONValue jsonValue() const;
        // Exactly one of "top", "country", "genre", "search" (other members ignored); the
        // payload under "_0" as a string.
        static Result<Query> fromJSON(const JSONValue& value);
        static Result<Query> fromJSONText(std::string_view text);

        bool operator==(const Query& other) const {
            return kind == other.kind && (kind == Kind::top || text == other.text);
        }
    };

    // A country of the directory; identified by its code.
    struct Country {
        std::string code;  // two letters, upper case
        std::string name;  // English
        int64_t stationCount = 0;

        const std::string& id() const { return code; }
        bool operator==(const Country&) const = default;
    };

    // Where the directory is and how it is asked. The random source shuffles the
    // server list; it returns uniformly distributed 64-bit values.
    struct Configuration {
        std::string scheme = "https";
        std::string listHost;
        std::vector<std::string> fallbackServers;
        double timeoutSeconds = 12.0;
        std::string userAgent;
        std::function<uint64_t()> random;   // the system's random source when empty
        Locale locale = Locale::current();  // for the order of the country list

        // The public directory, its three mirrors and our User-Agent.
        static Configuration publicDirectory();
    };

    // What the client needs of the network: one thread that runs the client's work and
    // the completions of its fetches, one at a time. Tests put a scripted one in.
    class Transport {
    public:
        virtual ~Transport() = default;
        virtual void dispatch(std::function<void()> work) = 0;
        // Runs `work` on the client's thread and waits for it.
        virtual void dispatchSync(const std::function<void()>& work) = 0;
        virtual void fetch(HttpRequest request, std::function<void(HttpLoop::FetchResult)> completion) = 0;
    };

    // The list of servers and the failover position, as the client holds them.
    struct ServerState {
        std::vector<std::string> servers;
        int64_t serverIndex = 0;
        bool operator==(const ServerState&) const = default;
    };

    // "NorvoStudio/<version> (+<web address>)": sent with every directory and stream request.
    static const std::string userAgent;
    static constexpr int maximumAttempts = 3;

    // The client of the public directory, made on first use.
    static RadioBrowserClient& shared();

    // Runs on an HttpLoop thread of its own.
    explicit RadioBrowserClient(Configuration configuration);
    RadioBrowserClient(Configuration configuration, std::unique_ptr<Transport> transport);
    ~RadioBrowserClient();
    RadioBrowserClient(const RadioBrowserClient&) = delete;
    RadioBrowserClient& operator=(const RadioBrowserClient&) = delete;

    const Configuration& configuration() const { return configuration_; }

    // GET `path` (beginning with "/") with the query items in order, from the server in
    // use, moving on to the next one after each failure, at most three times. The
    // result is the body of the first reply with status 200.
    void get(std::string path, std::vector<QueryItem> query, std::function<void(Result<std::string>)> completion);

    // At most `limit` stations of the query in the directory's order, without repeated
    // addresses or names.
    void stations(Query query, int64_t limit, std::function<void(Result<std::vector<RadioStation>>)> completion);
    // The countries with at least ten stations, sorted by name.
    void countries(std::function<void(Result<std::vector<Country>>)> completion);
    // Reports that the station is being listened to. Failures are dropped; `done`, when
    // given, runs on the client's thread once the report has ended either way.
    void countClick(const std::string& stationID, std::function<void()> done = {});
    void countClick(const RadioStation& station, std::function<void()> done = {}) {
        countClick(station.id, std::move(done));
    }

    // Waits for the client's thread.
    ServerState serverState() const;

private:
    struct Request;

    void startRequest(const std::shared_ptr<Request>& request);
    void loadServers();
    void attempt(const std::shared_ptr<Request>& request);
    std::optional<std::string> urlFor(const std::string& host, const Request& request) const;
    HttpRequest httpRequest(std::string url) const;

    Configuration configuration_;
    // On the client's thread only.
    DirectoryServerList servers_;
    // Requests that wait for the list: not empty exactly while it loads.
    std::vector<std::function<void()>> waitingForServers_;
    // Last member: its end stops the thread before the state above goes away.
    const std::unique_ptr<Transport> transport_;
};

}  // namespace norvo

template <>
struct std::hash<norvo::RadioBrowserClient::Query> {
    std::size_t operator()(const norvo::RadioBrowserClient::Query& query) const noexcept {
        std::size_t kind = static_cast<std::size_t>(query.kind);
        if (query.kind == norvo::RadioBrowserClient::Query::Kind::top) return kind;
        return kind ^ (std::hash<std::string>{}(query.text) << 2);
    }
};
