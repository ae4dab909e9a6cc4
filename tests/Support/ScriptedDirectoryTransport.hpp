#pragma once
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Url.hpp"
#include "Radio/RadioBrowserClient.hpp"

namespace norvo::test {

// Runs the directory client without threads or sockets: work and replies wait in one
// queue until the test calls run(); each fetch is answered by `respond`.
class ScriptedDirectoryTransport final : public RadioBrowserClient::Transport {
public:
    struct Reply {
        int status = 200;
        std::string body;
        std::optional<HttpError> error;
    };

    static Reply ok(std::string body) { return {200, std::move(body), std::nullopt}; }
    static Reply status(int code) { return {code, "", std::nullopt}; }
    static Reply failure(HttpError::Kind kind) { return {0, "", HttpError{kind, "scripted"}}; }

    // Given the request's URL; unanswered hosts are unreachable.
    std::function<Reply(const Url&)> respond = [](const Url&) { return failure(HttpError::Kind::cannotConnectToHost); };
    std::vector<HttpRequest> requests;

    void dispatch(std::function<void()> work) override { queue_.push_back(std::move(work)); }
    void dispatchSync(const std::function<void()>& work) override { work(); }
    void fetch(HttpRequest request, std::function<void(HttpLoop::FetchResult)> completion) override {
        requests.push_back(request);
        auto url = Url::parse(request.url);
        Reply reply = url ? respond(*url) : failure(HttpError::Kind::other);
        queue_.push_back([reply, completion = std::move(completion), address = request.url] {
            HttpLoop::FetchResult result;
            if (reply.error) {
                result.error = reply.error;
            } else {
                result.response = HttpResponse{address, reply.status, std::nullopt, {}};
                result.body = reply.body;
            }
            completion(std::move(result));
        });
    }

    void run() {
        while (!queue_.empty()) {
            auto work = std::move(queue_.front());
            queue_.pop_front();
            work();
        }
    }

    // "host[:port]" of every request, in order.
    std::vector<std::string> hosts() const {
        std::vector<std::string> out;
        for (const auto& request : requests) {
            auto url = Url::parse(request.url);
            out.push_back(url->host() + (url->port() ? ":" + std::to_string(*url->port()) : ""));
        }
        return out;
    }

private:
    std::deque<std::function<void()>> queue_;
};

}  // namespace norvo::test
