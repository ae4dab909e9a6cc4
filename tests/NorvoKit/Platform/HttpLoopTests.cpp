#include "Platform/HttpLoop.hpp"

#include <gtest/gtest.h>
#include <pthread.h>

#include <mutex>

#include "Support/LoopbackHttpServer.hpp"
#include "Support/ManualLoopClock.hpp"
#include "Support/RefusingPort.hpp"

namespace norvo {
namespace {

using test::LoopbackHttpServer;
constexpr double kWait = 10.0;  // real seconds a test may wait for the loopback server

// Collects what a streaming transfer reports, readable from the test thread.
struct StreamRecorder {
    mutable std::mutex mutex;
    std::optional<HttpResponse> response;
    std::string body;
    int dataCalls = 0;
    bool completed = false;
    std::optional<HttpError> error;
    bool refuseResponse = false;
    std::size_t refuseAfterBytes = SIZE_MAX;

    HttpLoop::StreamHandlers handlers() {
        return {
            [this](const HttpResponse& received) {
                std::lock_guard lock(mutex);
                response = received;
                return !refuseResponse;
            },
            [this](const uint8_t* bytes, std::size_t count) {
                std::lock_guard lock(mutex);
                body.append(reinterpret_cast<const char*>(bytes), count);
                ++dataCalls;
                return body.size() < refuseAfterBytes;
            },
            [this](const std::optional<HttpError>& ended) {
                std::lock_guard lock(mutex);
                completed = true;
                error = ended;
            },
        };
    }
    bool isCompleted() const {
        std::lock_guard lock(mutex);
        return completed;
    }
    bool hasResponse() const {
        std::lock_guard lock(mutex);
        return response.has_value();
    }
    std::size_t bodySize() const {
        std::lock_guard lock(mutex);
        return body.size();
    }
};

class HttpLoopTest : public ::testing::Test {
protected:
    LoopbackHttpServer server;
    std::shared_ptr<test::ManualLoopClock> clock = std::make_shared<test::ManualLoopClock>();
    HttpLoop loop{"org.norvo.studio.radio", clock};

    HttpRequest request(const std::string& path) {
        HttpRequest made;
        made.url = server.url(path);
        made.headers = {{"Icy-MetaData", "1"}, {"User-Agent", "NorvoStudio/1.2 (+test)"}, {"Accept", "*/*"}};
        return made;
    }

    // Runs the transfer to its end (or the bounded wait) and returns the recorder.
    std::unique_ptr<StreamRecorder> run(const HttpRequest& made) {
        auto recorder = std::make_unique<StreamRecorder>();
        loop.startStream(made, recorder->handlers());
        EXPECT_TRUE(loop.waitUntil([&] { return recorder->isCompleted(); }, kWait));
        return recorder;
    }

    // Lets the loop take the clock's new time: every timer due by now has run afterwards.
    void settle() {
        loop.dispatchSync([] {});
    }

    // The transfer lives until `seconds` on the loop's clock, then times out.
    void expectTimeoutAfter(double seconds, const StreamRecorder& recorder) {
        clock->advance(seconds - 0.1);
        settle();
        EXPECT_FALSE(recorder.isCompleted());
        clock->advance(0.2);
        settle();
        ASSERT_TRUE(recorder.isCompleted());
        std::lock_guard lock(recorder.mutex);
        ASSERT_TRUE(recorder.error);
        EXPECT_EQ(recorder.error->kind, HttpError::Kind::timedOut);
    }
};

TEST_F(HttpLoopTest, RunsWorkInOrderOnOneThreadNamedAfterTheLabel) {
    std::vector<int> order;
    std::string threadName;
    loop.dispatch([&] { order.push_back(1); });
    loop.dispatch([&] {
        order.push_back(2);
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        threadName = name;
        EXPECT_TRUE(loop.isLoopThread());
    });
    loop.dispatchSync([&] { order.push_back(3); });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(threadName, "org.norvo.studi");
    EXPECT_FALSE(loop.isLoopThread());
}

TEST_F(HttpLoopTest, TimersFollowTheInjectedClock) {
    std::vector<std::string> fired;
    loop.dispatchAfter(2.0, [&] { fired.push_back("2s"); });
    loop.dispatchAfter(1.0, [&] { fired.push_back("1s"); });
    CancelHandle cancelled = loop.dispatchAfter(1.5, [&] { fired.push_back("cancelled"); });
    cancelled.cancel();
    settle();
    EXPECT_TRUE(fired.empty());
    clock->advance(0.99);
    settle();
    EXPECT_TRUE(fired.empty());
    clock->advance(0.02);
    settle();
    EXPECT_EQ(fired, (std::vector<std::string>{"1s"}));
    clock->advance(5);
    settle();
    EXPECT_EQ(fired, (std::vector<std::string>{"1s", "2s"}));
}

TEST_F(HttpLoopTest, TimerSetFromATimerWaitsForTheClockAgain) {
    int fired = 0;
    loop.dispatchAfter(1.0, [&] {
        ++fired;
        loop.dispatchAfter(1.0, [&] { ++fired; });
    });
    clock->advance(1.0);
    settle();
    EXPECT_EQ(fired, 1);
    clock->advance(1.0);
    settle();
    EXPECT_EQ(fired, 2);
}

TEST_F(HttpLoopTest, StreamsTheFinalResponseAfterRedirects) {
    LoopbackHttpServer::Script station;
    station.statusLine = "HTTP/1.0 200 OK";
    station.headers = {
        {"Content-Type", "Audio/MPEG; charset=binary"}, {"icy-name", "Loop FM"}, {"X-Dup", "a"}, {"x-dup", "b"}};
    station.body = std::string(100000, 'x');
    station.pieceBytes = 7000;
    server.route("/a", LoopbackHttpServer::redirect("/b"));
    server.route("/b", LoopbackHttpServer::redirect(server.url("/station")));
    server.route("/station", station);

    auto recorder = run(request("/a"));
    ASSERT_TRUE(recorder->response);
    EXPECT_EQ(recorder->response->url, server.url("/station"));
    EXPECT_EQ(recorder->response->statusCode, 200);
    EXPECT_EQ(recorder->response->mimeType, "audio/mpeg");
    EXPECT_EQ(recorder->response->header("ICY-NAME"), "Loop FM");
    EXPECT_EQ(recorder->response->headers.at("x-dup"), "a, b");
    EXPECT_EQ(recorder->body, station.body);
    EXPECT_FALSE(recorder->error);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& sent : requests) {
        EXPECT_EQ(sent.header("Icy-MetaData"), "1");
        EXPECT_EQ(sent.header("User-Agent"), "NorvoStudio/1.2 (+test)");
        EXPECT_EQ(sent.header("Accept"), "*/*");
        EXPECT_FALSE(sent.header("Cookie"));
    }
}

TEST_F(HttpLoopTest, AcceptsIcyStatusLineButNotOtherIcyStatuses) {
    LoopbackHttpServer::Script icy;
    icy.statusLine = "ICY 200 OK";
    icy.headers = {{"content-type", "audio/aacp"}};
    icy.body = "abc";
    LoopbackHttpServer::Script missing = icy;
    missing.statusLine = "ICY 404 Not Found";
    server.route("/ok", icy);
    server.route("/missing", missing);

    auto accepted = run(request("/ok"));
    ASSERT_TRUE(accepted->response);
    EXPECT_EQ(accepted->response->statusCode, 200);
    EXPECT_EQ(accepted->body, "abc");

    auto refused = run(request("/missing"));
    EXPECT_FALSE(refused->response);
    ASSERT_TRUE(refused->error);
}

TEST_F(HttpLoopTest, LateHeadersWithinTheTimeoutStillCount) {
    LoopbackHttpServer::Script late;
    late.headerDelay = 0.05;
    late.body = "late but fine";
    server.route("/late", late);
    auto recorder = run(request("/late"));
    EXPECT_EQ(recorder->body, "late but fine");
    EXPECT_FALSE(recorder->error);
}

TEST_F(HttpLoopTest, DeliversErrorStatusesForTheCallerToJudge) {
    server.route("/gone", LoopbackHttpServer::status(404, "Not Found"));
    auto recorder = run(request("/gone"));
    ASSERT_TRUE(recorder->response);
    EXPECT_EQ(recorder->response->statusCode, 404);
    EXPECT_FALSE(recorder->error);
}

TEST_F(HttpLoopTest, DecodesChunkedAndOneByteBodies) {
    LoopbackHttpServer::Script chunked;
    chunked.body = "The quick brown fox jumps over the lazy dog";
    chunked.chunked = true;
    chunked.pieceBytes = 5;
    LoopbackHttpServer::Script trickle;
    trickle.body = "one byte at a time";
    trickle.pieceBytes = 1;
    server.route("/chunked", chunked);
    server.route("/trickle", trickle);
    EXPECT_EQ(run(request("/chunked"))->body, chunked.body);
    EXPECT_EQ(run(request("/trickle"))->body, trickle.body);
}

TEST_F(HttpLoopTest, StopsFollowingRedirectLoopsAndOtherSchemes) {
    server.route("/loop", LoopbackHttpServer::redirect("/loop"));
    server.route("/ftp", LoopbackHttpServer::redirect("ftp://127.0.0.1/file"));
    auto looping = run(request("/loop"));
    EXPECT_FALSE(looping->response);
    ASSERT_TRUE(looping->error);
    EXPECT_EQ(looping->error->kind, HttpError::Kind::other);
    EXPECT_EQ(server.requestCount("/loop"), 17u);  // the first request and 16 redirects

    auto ftp = run(request("/ftp"));
    EXPECT_FALSE(ftp->response);
    ASSERT_TRUE(ftp->error);
    EXPECT_EQ(ftp->error->kind, HttpError::Kind::other);
}

TEST_F(HttpLoopTest, RefusingTheResponseOrDataEndsTheTransferSilently) {
    LoopbackHttpServer::Script endless;
    endless.producer = [](std::size_t) { return std::string(4096, 'z'); };
    server.route("/endless", endless);

    auto refusedAtResponse = std::make_unique<StreamRecorder>();
    refusedAtResponse->refuseResponse = true;
    loop.startStream(request("/endless"), refusedAtResponse->handlers());
    auto refusedAtData = std::make_unique<StreamRecorder>();
    refusedAtData->refuseAfterBytes = 20000;
    loop.startStream(request("/endless"), refusedAtData->handlers());

    ASSERT_TRUE(loop.waitUntil([&] { return loop.activeTransfers() == 0; }, kWait));
    settle();
    EXPECT_TRUE(refusedAtResponse->hasResponse());
    EXPECT_EQ(refusedAtResponse->bodySize(), 0u);
    EXPECT_FALSE(refusedAtResponse->isCompleted());
    EXPECT_GE(refusedAtData->bodySize(), 20000u);
    EXPECT_FALSE(refusedAtData->isCompleted());
}

TEST_F(HttpLoopTest, CancelStopsEveryHandler) {
    LoopbackHttpServer::Script endless;
    endless.producer = [](std::size_t) { return std::string(1024, 'z'); };
    endless.pieceInterval = 0.01;
    server.route("/endless", endless);
    auto recorder = std::make_unique<StreamRecorder>();
    const auto id = loop.startStream(request("/endless"), recorder->handlers());
    ASSERT_TRUE(loop.waitUntil([&] { return recorder->bodySize() > 0; }, kWait));
    loop.dispatchSync([&] { loop.cancel(id); });
    const std::size_t received = recorder->bodySize();
    EXPECT_EQ(loop.activeTransfers(), 0u);
    settle();
    EXPECT_EQ(recorder->bodySize(), received);
    EXPECT_FALSE(recorder->isCompleted());
}

TEST_F(HttpLoopTest, HeaderTimeoutRunsOnTheLoopClock) {
    LoopbackHttpServer::Script silent;
    silent.stallBeforeHeaders = true;
    server.route("/silent", silent);
    auto recorder = std::make_unique<StreamRecorder>();
    loop.startStream(request("/silent"), recorder->handlers());
    ASSERT_TRUE(loop.waitUntil([&] { return server.requestCount("/silent") == 1; }, kWait));
    expectTimeoutAfter(15.0, *recorder);
}

TEST_F(HttpLoopTest, IdleTimeoutCountsFromTheLastBodyBytes) {
    LoopbackHttpServer::Script stalls;
    stalls.body = std::string(5000, 'a');
    stalls.stall = true;
    server.route("/stalls", stalls);
    auto recorder = std::make_unique<StreamRecorder>();
    loop.startStream(request("/stalls"), recorder->handlers());
    ASSERT_TRUE(loop.waitUntil([&] { return recorder->bodySize() == 5000; }, kWait));
    expectTimeoutAfter(60.0, *recorder);
}

struct TransportFailure {
    std::string name;
    HttpError::Kind kind;
};

class HttpLoopFailureTest : public HttpLoopTest, public ::testing::WithParamInterface<TransportFailure> {};

TEST_P(HttpLoopFailureTest, MapsTransportFailures) {
    LoopbackHttpServer::Script reset;
    reset.body = std::string(3000, 'r');
    reset.closeAfter = 1000;
    reset.reset = true;
    LoopbackHttpServer::Script empty;
    empty.emptyReply = true;
    LoopbackHttpServer::Script truncated;
    truncated.body = std::string(3000, 't');
    truncated.contentLength = true;
    truncated.closeAfter = 1000;
    server.route("/reset", reset);
    server.route("/truncated", truncated);
    server.route("/empty", empty);

    HttpRequest made;
    test::RefusingPort refusing;
    const std::string& name = GetParam().name;
    if (name == "unresolvable") made.url = LoopbackHttpServer::unresolvableURL("/live");
    else if (name == "refused") made.url = "http://" + refusing.hostAndPort() + "/live";
    else if (name == "tls") made.url = "https://127.0.0.1:" + std::to_string(server.port()) + "/reset";
    else made = request("/" + name);

    auto recorder = run(made);
    ASSERT_TRUE(recorder->error) << name;
    EXPECT_EQ(recorder->error->kind, GetParam().kind) << name << ": " << recorder->error->detail;
}

INSTANTIATE_TEST_SUITE_P(Kinds, HttpLoopFailureTest,
                         ::testing::Values(TransportFailure{"unresolvable", HttpError::Kind::cannotFindHost},
                                           TransportFailure{"refused", HttpError::Kind::cannotConnectToHost},
                                           TransportFailure{"tls", HttpError::Kind::secureConnectionFailed},
                                           TransportFailure{"reset", HttpError::Kind::networkConnectionLost},
                                           TransportFailure{"empty", HttpError::Kind::networkConnectionLost},
                                           TransportFailure{"truncated", HttpError::Kind::other}),
                         [](const auto& info) { return info.param.name; });

TEST_F(HttpLoopTest, FetchReturnsStatusAndWholeBody) {
    LoopbackHttpServer::Script json;
    json.headers = {{"Content-Type", "application/json"}};
    json.body = R"([{"name":"one"}])";
    json.contentLength = true;
    server.route("/json/servers", json);
    server.route("/json/missing", LoopbackHttpServer::status(503, "Busy"));

    std::optional<HttpLoop::FetchResult> ok, busy;
    loop.fetch(request("/json/servers"), [&](HttpLoop::FetchResult result) { ok = std::move(result); });
    loop.fetch(request("/json/missing"), [&](HttpLoop::FetchResult result) { busy = std::move(result); });
    ASSERT_TRUE(loop.waitUntil([&] { return ok && busy; }, kWait));
    EXPECT_EQ(ok->statusCode(), 200);
    EXPECT_EQ(ok->body, json.body);
    EXPECT_EQ(ok->response->mimeType, "application/json");
    EXPECT_FALSE(ok->error);
    EXPECT_EQ(busy->statusCode(), 503);
    EXPECT_EQ(busy->body, "Busy");
}

TEST_F(HttpLoopTest, FetchEnforcesBodyLimitAndTotalTimeout) {
    LoopbackHttpServer::Script big;
    big.body = std::string(10000, 'b');
    server.route("/big", big);
    LoopbackHttpServer::Script slow;
    slow.body = std::string(100, 's');
    slow.closeAfter = 10;
    slow.stall = true;
    server.route("/slow", slow);

    HttpRequest limited = request("/big");
    limited.maximumBodyBytes = 4096;
    HttpRequest timed = request("/slow");
    timed.totalTimeout = 12.0;
    timed.idleTimeout = 0;
    std::optional<HttpLoop::FetchResult> tooLarge, tooSlow;
    loop.fetch(limited, [&](HttpLoop::FetchResult result) { tooLarge = std::move(result); });
    loop.fetch(timed, [&](HttpLoop::FetchResult result) { tooSlow = std::move(result); });
    ASSERT_TRUE(loop.waitUntil([&] { return tooLarge.has_value(); }, kWait));
    ASSERT_TRUE(tooLarge->error);
    EXPECT_EQ(tooLarge->error->kind, HttpError::Kind::bodyTooLarge);

    ASSERT_TRUE(loop.waitUntil([&] { return server.bytesSent() >= 10000 + 10; }, kWait));
    settle();
    EXPECT_FALSE(tooSlow);
    clock->advance(12.0);
    ASSERT_TRUE(loop.waitUntil([&] { return tooSlow.has_value(); }, kWait));
    ASSERT_TRUE(tooSlow->error);
    EXPECT_EQ(tooSlow->error->kind, HttpError::Kind::timedOut);
}

TEST_F(HttpLoopTest, DestroyingTheLoopDropsPendingWork) {
    LoopbackHttpServer::Script endless;
    endless.producer = [](std::size_t) { return std::string(1024, 'z'); };
    endless.pieceInterval = 0.01;
    server.route("/endless", endless);
    auto recorder = std::make_unique<StreamRecorder>();
    bool timerRan = false;
    {
        HttpLoop shortLived("short", clock);
        shortLived.startStream(request("/endless"), recorder->handlers());
        shortLived.dispatchAfter(1.0, [&] { timerRan = true; });
        ASSERT_TRUE(shortLived.waitUntil([&] { return recorder->bodySize() > 0; }, kWait));
    }
    clock->advance(2.0);
    EXPECT_FALSE(timerRan);
    EXPECT_FALSE(recorder->isCompleted());
}

}  // namespace
}  // namespace norvo
