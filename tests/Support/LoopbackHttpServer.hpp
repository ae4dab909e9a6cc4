#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace norvo::test {

// A scripted HTTP server for tests, on 127.0.0.1 and a port the system picks.
// Each connection runs on its own thread; the server is bounded: it accepts at most
// `maximumConnections` and closes everything `lifetimeSeconds` after it started (and at
// destruction). Unknown paths get "HTTP/1.1 404 Not Found".
//
//   LoopbackHttpServer server;
//   LoopbackHttpServer::Script radio;
//   radio.headers = {{"Content-Type", "audio/mpeg"}, {"icy-metaint", "16000"}};
//   radio.body = LoopbackHttpServer::icyInterleave(audio, 16000, {"StreamTitle='A';"});
//   server.route("/live", radio);
//   RadioStream stream(server.url("/live"), ...);
//   server.requests()  // every request with its headers, in arrival order
class LoopbackHttpServer {
public:
    struct Request {
        std::string method;
        std::string target;                          // as sent, with any query
        std::string path;                            // target without the query
        std::map<std::string, std::string> headers;  // lower-cased names
        std::optional<std::string> header(const std::string& name) const;
    };

    // Produces an endless body: called with the piece number (0, 1, ...) and returns the
    // next bytes to send; an empty result ends the body (the connection closes).
    using BodyProducer = std::function<std::string(std::size_t piece)>;

    // What the server does for one request. Headers are sent exactly as listed, after
    // the status line, plus "Connection: close" for HTTP/1.1 status lines.
    struct Script {
        std::string statusLine = "HTTP/1.1 200 OK";  // also "HTTP/1.0 ...", "ICY 200 OK"
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;
        BodyProducer producer;                  // when set, the body comes from here instead
        bool contentLength = false;             // add "Content-Length" for `body`
        bool chunked = false;                   // "Transfer-Encoding: chunked", one chunk per piece
        std::size_t pieceBytes = 0;             // send the body in pieces of this size (0: whole)
        double pieceInterval = 0;               // real seconds between pieces (pacing)
        double headerDelay = 0;                 // real seconds before the status line goes out
        std::optional<std::size_t> closeAfter;  // send only this many body bytes
        // After the body (or its first closeAfter bytes): a clean close, unless...
        bool reset = false;               // ...a TCP reset instead
        bool stall = false;               // ...or the connection stays open, sending nothing
        bool stallBeforeHeaders = false;  // accept the request, never answer
        bool emptyReply = false;          // close the connection without answering
    };

    // Builds the wire form of an ICY stream: `audio` with a metadata block after every
    // `metaInterval` audio bytes. Block i carries metadata[i] (padded with zeros to a
    // multiple of 16); blocks past the list, and empty texts, are sent as a zero length.
    static std::string icyInterleave(const std::string& audio, std::size_t metaInterval,
                                     const std::vector<std::string>& metadata);
    // One ICY metadata block: the length byte and the padded text.
    static std::string icyBlock(const std::string& text);
    // A 302 to `location`.
    static Script redirect(const std::string& location, int status = 302);
    // A status-only answer, e.g. status(404) or status(503).
    static Script status(int code, const std::string& reason = "Status");
    // A URL whose host never resolves, without a query leaving the machine: a label of
    // more than 63 bytes cannot be put into a DNS question.
    static std::string unresolvableURL(const std::string& path);

    explicit LoopbackHttpServer(int maximumConnections = 64, double lifetimeSeconds = 120);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    uint16_t port() const;
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string url(const std::string& path) const;

    // Answers every request for `path` (exact, without query) with `script`.
    void route(const std::string& path, Script script);
    // Answers with whatever the handler decides (called on the connection's thread).
    void route(const std::string& path, std::function<Script(const Request&)> handler);
    // Answers the n-th request for `path` (0-based) with scripts[n], repeating the last.
    void routeSequence(const std::string& path, std::vector<Script> scripts);

    // Every request received so far, in arrival order.
    std::vector<Request> requests() const;
    std::size_t requestCount(const std::string& path) const;
    // Body bytes written on all connections so far.
    uint64_t bytesSent() const;

    // Closes the listening socket and every open connection, and joins all threads.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace norvo::test
