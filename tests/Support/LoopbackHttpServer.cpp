#include "Support/LoopbackHttpServer.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

namespace norvo::test {

namespace {

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::optional<std::string> LoopbackHttpServer::Request::header(const std::string& name) const {
    auto found = headers.find(lowercased(name));
    if (found == headers.end()) return std::nullopt;
    return found->second;
}

struct LoopbackHttpServer::Impl {
    struct Route {
        std::function<Script(const Request&)> handler;
    };

    int maximumConnections;
    std::chrono::steady_clock::time_point deadline;
    int listener = -1;
    int wakePipe[2] = {-1, -1};  // wakes the accept loop at stop
    uint16_t port = 0;
    std::thread acceptThread;

    mutable std::mutex mutex;
    std::condition_variable stopped;
    bool stopping = false;
    std::map<std::string, Route> routes;
    std::vector<Request> requests;
    std::set<int> openSockets;
    std::vector<std::thread> connectionThreads;
    std::atomic<uint64_t> bytesSent{0};

    // Waits in real time; false when the server is stopping.
    bool pause(double seconds) {
        if (seconds <= 0) return !isStopping();
        std::unique_lock lock(mutex);
        return !stopped.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return stopping; });
    }

    bool isStopping() const {
        std::lock_guard lock(mutex);
        return stopping;
    }

    void waitUntilStopped() {
        std::unique_lock lock(mutex);
        stopped.wait(lock, [&] { return stopping; });
    }

    bool sendAll(int socket, std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    std::optional<Request> readRequest(int socket) {
        std::string received;
        while (received.find("\r\n\r\n") == std::string::npos) {
            if (received.size() > 65536) return std::nullopt;
            pollfd entry{socket, POLLIN, 0};
            const int ready = ::poll(&entry, 1, 100);
            if (isStopping()) return std::nullopt;
            if (ready <= 0) continue;
            char buffer[4096];
            const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
            if (got <= 0) return std::nullopt;
            received.append(buffer, static_cast<std::size_t>(got));
            if (received.front() == '\x16') {
                // A TLS handshake: answer in plain text, as a misconfigured server would.
                sendAll(socket, "HTTP/1.1 400 Bad Request\r\n\r\n");
                return std::nullopt;
            }
        }
        Request request;
        std::size_t lineStart = 0;
        bool first = true;
        for (;;) {
            const std::size_t lineEnd = received.find("\r\n", lineStart);
            const std::string line = received.substr(lineStart, lineEnd - lineStart);
            lineStart = lineEnd + 2;
            if (line.empty()) break;
            if (first) {
                first = false;
                const auto space = line.find(' ');
                const auto secondSpace = line.find(' ', space + 1);
                request.method = line.substr(0, space);
                request.target = line.substr(space + 1, secondSpace - space - 1);
                request.path = request.target.substr(0, request.target.find('?'));
                continue;
            }
            const auto colon = line.find(':');
            if (colon == std::string::npos) continue;
            request.headers[lowercased(trimmed(line.substr(0, colon)))] = trimmed(line.substr(colon + 1));
        }
        return request;
    }

    Script scriptFor(const Request& request) {
        std::function<Script(const Request&)> handler;
        {
            std::lock_guard lock(mutex);
            requests.push_back(request);
            if (auto found = routes.find(request.path); found != routes.end()) handler = found->second.handler;
        }
        if (!handler) return status(404, "Not Found");
        return handler(request);
    }

    void serve(int socket) {
        auto request = readRequest(socket);
        if (request) respond(socket, scriptFor(*request));
        {
            std::lock_guard lock(mutex);
            openSockets.erase(socket);
        }
        ::close(socket);
    }

    void respond(int socket, const Script& script) {
        if (script.stallBeforeHeaders) {
            waitUntilStopped();
            return;
        }
        if (script.emptyReply) return;
        if (!pause(script.headerDelay)) return;

        std::string head = script.statusLine + "\r\n";
        for (const auto& [name, value] : script.headers) head += name + ": " + value + "\r\n";
        if (script.statusLine.starts_with("HTTP/1.1")) head += "Connection: close\r\n";
        if (script.contentLength && !script.producer)
            head += "Content-Length: " + std::to_string(script.body.size()) + "\r\n";
        if (script.chunked) head += "Transfer-Encoding: chunked\r\n";
        head += "\r\n";
        if (!sendAll(socket, head)) return;

        const std::size_t limit = script.closeAfter.value_or(SIZE_MAX);
        std::size_t sent = 0;
        // Sends one piece of the body; false once the limit is reached or the client left.
        bool clientGone = false;
        auto sendPiece = [&](std::string_view piece) {
            piece = piece.substr(0, limit - sent);
            if (!piece.empty()) {
                std::string framed;
                if (script.chunked) {
                    char size[32];
                    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
                    framed = size;
                    framed.append(piece);
                    framed += "\r\n";
                }
                if (!sendAll(socket, script.chunked ? std::string_view(framed) : piece)) {
                    clientGone = true;
                    return false;
                }
                sent += piece.size();
                bytesSent += piece.size();
            }
            return sent < limit;
        };

        bool more = true;
        if (script.producer) {
            for (std::size_t index = 0; more; ++index) {
                if (index > 0 && !pause(script.pieceInterval)) return;
                const std::string piece = script.producer(index);
                if (piece.empty()) break;
                more = sendPiece(piece);
            }
        } else {
            const std::size_t step =
                script.pieceBytes > 0 ? script.pieceBytes : std::max<std::size_t>(1, script.body.size());
            for (std::size_t offset = 0; more && offset < script.body.size(); offset += step) {
                if (offset > 0 && !pause(script.pieceInterval)) return;
                more = sendPiece(std::string_view(script.body).substr(offset, step));
            }
        }
        if (clientGone) return;
        if (script.stall) {
            waitUntilStopped();
            return;
        }
        if (script.reset) {
            linger hard{1, 0};
            ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            return;  // the close that follows sends a reset
        }
        const bool cut = sent >= limit;
        if (script.chunked && !cut) sendAll(socket, "0\r\n\r\n");
        ::shutdown(socket, SHUT_WR);
        // Let the client read everything before the socket goes away.
        char drain[1024];
        for (int rounds = 0; rounds < 50 && !isStopping(); ++rounds) {
            pollfd entry{socket, POLLIN, 0};
            if (::poll(&entry, 1, 100) > 0 && ::recv(socket, drain, sizeof drain, 0) <= 0) break;
        }
    }

    void acceptLoop() {
        int accepted = 0;
        for (;;) {
            if (isStopping()) break;
            if (std::chrono::steady_clock::now() >= deadline) {
                shutdownAll();
                break;
            }
            pollfd entries[2] = {{listener, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
            if (::poll(entries, 2, 100) <= 0 || !(entries[0].revents & POLLIN)) continue;
            const int socket = ::accept(listener, nullptr, nullptr);
            if (socket < 0) continue;
            // Small pieces go out at once, not held back for the last one's acknowledgement.
            const int noDelay = 1;
            ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
            std::lock_guard lock(mutex);
            if (stopping || accepted >= maximumConnections) {
                ::close(socket);
                continue;
            }
            ++accepted;
            openSockets.insert(socket);
            connectionThreads.emplace_back([this, socket] { serve(socket); });
        }
    }

    void shutdownAll() {
        std::lock_guard lock(mutex);
        stopping = true;
        for (int socket : openSockets) ::shutdown(socket, SHUT_RDWR);
        stopped.notify_all();
        if (wakePipe[1] >= 0) [[maybe_unused]]
            auto ignored = ::write(wakePipe[1], "x", 1);
    }
};

std::string LoopbackHttpServer::icyBlock(const std::string& text) {
    const std::size_t blocks = std::min<std::size_t>((text.size() + 15) / 16, 255);
    std::string out(1, static_cast<char>(blocks));
    std::string padded = text.substr(0, blocks * 16);
    padded.resize(blocks * 16, '\0');
    return out + padded;
}

std::string LoopbackHttpServer::icyInterleave(const std::string& audio, std::size_t metaInterval,
                                              const std::vector<std::string>& metadata) {
    if (metaInterval == 0) return audio;
    std::string out;
    out.reserve(audio.size() + audio.size() / metaInterval * 2 + 64);
    std::size_t block = 0;
    for (std::size_t offset = 0; offset < audio.size(); offset += metaInterval) {
        out.append(audio, offset, metaInterval);
        if (offset + metaInterval > audio.size()) break;
        out += block < metadata.size() ? icyBlock(metadata[block]) : std::string(1, '\0');
        ++block;
    }
    return out;
}

LoopbackHttpServer::Script LoopbackHttpServer::redirect(const std::string& location, int status) {
    Script script;
    script.statusLine = "HTTP/1.1 " + std::to_string(status) + " Found";
    script.headers = {{"Location", location}};
    script.contentLength = true;
    return script;
}

LoopbackHttpServer::Script LoopbackHttpServer::status(int code, const std::string& reason) {
    Script script;
    script.statusLine = "HTTP/1.1 " + std::to_string(code) + " " + reason;
    script.headers = {{"Content-Type", "text/plain"}};
    script.body = reason;
    script.contentLength = true;
    return script;
}

std::string LoopbackHttpServer::unresolvableURL(const std::string& path) {
    return "http://" + std::string(64, 'x') + ".invalid" + path;
}

LoopbackHttpServer::LoopbackHttpServer(int maximumConnections, double lifetimeSeconds)
    : impl_(std::make_unique<Impl>()) {
    impl_->maximumConnections = maximumConnections;
    impl_->deadline =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(lifetimeSeconds));
    impl_->listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (impl_->listener < 0) throw std::runtime_error("loopback server: no socket");
    const int yes = 1;
    ::setsockopt(impl_->listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(impl_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(impl_->listener, 64) != 0) {
        ::close(impl_->listener);
        throw std::runtime_error("loopback server: cannot listen");
    }
    socklen_t length = sizeof address;
    ::getsockname(impl_->listener, reinterpret_cast<sockaddr*>(&address), &length);
    impl_->port = ntohs(address.sin_port);
    if (::pipe2(impl_->wakePipe, O_CLOEXEC) != 0) throw std::runtime_error("loopback server: no pipe");
    impl_->acceptThread = std::thread([impl = impl_.get()] { impl->acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() { stop(); }

void LoopbackHttpServer::stop() {
    impl_->shutdownAll();
    if (impl_->acceptThread.joinable()) impl_->acceptThread.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(impl_->mutex);
        threads.swap(impl_->connectionThreads);
    }
    for (auto& thread : threads) thread.join();
    for (int* fd : {&impl_->listener, &impl_->wakePipe[0], &impl_->wakePipe[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

uint16_t LoopbackHttpServer::port() const { return impl_->port; }

std::string LoopbackHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(impl_->port) + path;
}

void LoopbackHttpServer::route(const std::string& path, Script script) {
    route(path, [script = std::move(script)](const Request&) { return script; });
}

void LoopbackHttpServer::route(const std::string& path, std::function<Script(const Request&)> handler) {
    std::lock_guard lock(impl_->mutex);
    impl_->routes[path] = {std::move(handler)};
}

void LoopbackHttpServer::routeSequence(const std::string& path, std::vector<Script> scripts) {
    if (scripts.empty()) return;
    auto counter = std::make_shared<std::atomic<std::size_t>>(0);
    route(path, [scripts = std::move(scripts), counter](const Request&) {
        const std::size_t index = std::min(counter->fetch_add(1), scripts.size() - 1);
        return scripts[index];
    });
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

std::size_t LoopbackHttpServer::requestCount(const std::string& path) const {
    std::lock_guard lock(impl_->mutex);
    return static_cast<std::size_t>(std::count_if(impl_->requests.begin(), impl_->requests.end(),
                                                  [&](const Request& request) { return request.path == path; }));
}

uint64_t LoopbackHttpServer::bytesSent() const { return impl_->bytesSent.load(); }

}  // namespace norvo::test
