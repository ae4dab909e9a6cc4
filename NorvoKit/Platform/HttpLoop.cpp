#include "Platform/HttpLoop.hpp"

#include <curl/curl.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <queue>
#include <stdexcept>
#include <thread>

namespace norvo {

namespace {

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trimmedSpacesAndTabs(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

HttpError::Kind kindOf(CURLcode code, long osErrno) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return HttpError::Kind::cannotFindHost;
    case CURLE_COULDNT_CONNECT:
        // curl folds "refused" and "unreachable" together; the OS error tells them apart.
        if (osErrno == ENETUNREACH || osErrno == ENETDOWN) return HttpError::Kind::notConnectedToInternet;
        return HttpError::Kind::cannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT: return HttpError::Kind::timedOut;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED: return HttpError::Kind::secureConnectionFailed;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING: return HttpError::Kind::networkConnectionLost;
    default: return HttpError::Kind::other;
    }
}

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw std::runtime_error("libcurl failed to start");
    });
}

// Lets a hand-driven clock wake the loop without outliving it.
struct Waker {
    std::mutex mutex;
    CURLM* multi = nullptr;

    void wake() {
        std::lock_guard lock(mutex);
        if (multi) curl_multi_wakeup(multi);
    }
};

}  // namespace

struct HttpLoop::Impl {
    struct Timer {
        double due;
        uint64_t order;
        CancelHandle handle;
        std::function<void()> work;
        bool operator>(const Timer& other) const { return due != other.due ? due > other.due : order > other.order; }
    };

    struct Waiter {
        std::mutex mutex;
        std::condition_variable condition;
        std::function<bool()> predicate;
        bool satisfied = false;
        bool abandoned = false;
    };

    struct Transfer {
        Impl* loop = nullptr;
        TransferID id = 0;
        CURL* easy = nullptr;
        curl_slist* headerList = nullptr;
        HttpRequest request;
        StreamHandlers handlers;
        // One-shot fetches collect into this and report through fetchCompletion.
        std::function<void(FetchResult)> fetchCompletion;
        FetchResult fetchResult;

        bool added = false;
        bool cancelled = false;             // no handler runs any more
        std::optional<HttpError> endError;  // set when we end the transfer ourselves
        bool responseDelivered = false;
        std::map<std::string, std::string> blockHeaders;
        std::string lastHeaderName;
        double startTime = 0;
        double lastActivity = 0;
        char errorBuffer[CURL_ERROR_SIZE] = {};
    };

    std::string label;
    std::shared_ptr<LoopClock> clock;
    uint64_t clockListener = 0;
    std::shared_ptr<Waker> waker = std::make_shared<Waker>();
    CURLM* multi = nullptr;
    curl_slist* aliases = nullptr;

    std::thread thread;
    std::atomic<std::thread::id> loopThreadID{};
    std::atomic<bool> stopping{false};
    std::atomic<uint64_t> lastTransferID{0};

    // Shared with other threads.
    mutable std::mutex mutex;
    std::deque<std::function<void()>> tasks;
    std::priority_queue<Timer, std::vector<Timer>, std::greater<>> timers;
    uint64_t timerOrder = 0;
    std::vector<std::shared_ptr<Waiter>> waiters;
    std::atomic<std::size_t> transferCount{0};

    // Loop thread only.
    std::map<TransferID, std::unique_ptr<Transfer>> transfers;
    std::vector<TransferID> pendingAdds;
    std::vector<TransferID> pendingRemovals;
    bool insideCurl = false;

    void wake() { curl_multi_wakeup(multi); }

    void enqueue(std::function<void()> work) {
        {
            std::lock_guard lock(mutex);
            tasks.push_back(std::move(work));
        }
        wake();
    }

    CancelHandle schedule(double seconds, std::function<void()> work) {
        CancelHandle handle;
        const double due = clock->now() + (std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0);
        {
            std::lock_guard lock(mutex);
            timers.push({due, timerOrder++, handle, std::move(work)});
        }
        wake();
        return handle;
    }

    // Runs every due timer, then one task, until neither is left: a task queued after
    // the clock moved sees every timer that fell due before it.
    void runReady() {
        for (;;) {
            for (;;) {
                std::function<void()> work;
                {
                    std::lock_guard lock(mutex);
                    if (timers.empty() || timers.top().due > clock->now()) break;
                    Timer timer = timers.top();
                    timers.pop();
                    if (!timer.handle.isCancelled()) work = std::move(timer.work);
                }
                if (work) work();
            }
            std::function<void()> task;
            {
                std::lock_guard lock(mutex);
                if (tasks.empty()) return;
                task = std::move(tasks.front());
                tasks.pop_front();
            }
            task();
        }
    }

    int pollTimeoutMilliseconds() {
        long curlTimeout = -1;
        curl_multi_timeout(multi, &curlTimeout);
        long timeout = curlTimeout < 0 ? 1000 : std::min(curlTimeout, 1000L);
        std::lock_guard lock(mutex);
        if (!tasks.empty()) return 0;
        if (!timers.empty() && clock->isRealTime()) {
            const double wait = std::max(0.0, timers.top().due - clock->now());
            timeout = std::min<long>(timeout, static_cast<long>(std::ceil(wait * 1000.0)));
        }
        return static_cast<int>(timeout);
    }

    void notifyWaiters() {
        std::vector<std::shared_ptr<Waiter>> current;
        {
            std::lock_guard lock(mutex);
            current = waiters;
        }
        if (current.empty()) return;
        for (auto& waiter : current) {
            std::lock_guard lock(waiter->mutex);
            if (!waiter->abandoned && !waiter->satisfied && waiter->predicate()) {
                waiter->satisfied = true;
                waiter->condition.notify_all();
            }
        }
        std::lock_guard lock(mutex);
        std::erase_if(waiters, [](const std::shared_ptr<Waiter>& waiter) {
            std::lock_guard inner(waiter->mutex);
            return waiter->satisfied || waiter->abandoned;
        });
    }

    void run() {
        loopThreadID = std::this_thread::get_id();
        const std::string threadName = label.substr(0, 15);
        pthread_setname_np(pthread_self(), threadName.c_str());
        while (!stopping.load()) {
            runReady();
            applyPending();
            if (stopping.load()) break;
            int running = 0;
            insideCurl = true;
            curl_multi_perform(multi, &running);
            insideCurl = false;
            collectFinished();
            applyPending();
            runReady();
            applyPending();
            notifyWaiters();
            if (stopping.load()) break;
            curl_multi_poll(multi, nullptr, 0, pollTimeoutMilliseconds(), nullptr);
        }
    }

    // --- transfers (loop thread) ---

    Transfer* find(TransferID id) {
        auto found = transfers.find(id);
        return found == transfers.end() ? nullptr : found->second.get();
    }

    void applyPending() {
        if (insideCurl) return;
        auto removals = std::move(pendingRemovals);
        pendingRemovals.clear();
        for (TransferID id : removals) destroy(id);
        auto adds = std::move(pendingAdds);
        pendingAdds.clear();
        for (TransferID id : adds) {
            Transfer* transfer = find(id);
            if (!transfer || transfer->added || transfer->cancelled) continue;
            curl_multi_add_handle(multi, transfer->easy);
            transfer->added = true;
        }
    }

    void destroy(TransferID id) {
        auto found = transfers.find(id);
        if (found == transfers.end()) return;
        std::unique_ptr<Transfer> transfer = std::move(found->second);
        transfers.erase(found);
        transferCount = transfers.size();
        if (transfer->added) curl_multi_remove_handle(multi, transfer->easy);
        curl_easy_cleanup(transfer->easy);
        curl_slist_free_all(transfer->headerList);
    }

    // Ends a transfer from our side: removes it at once (or after curl returns, when
    // called from inside one of its callbacks) and reports `error` unless cancelled.
    void end(Transfer& transfer, std::optional<HttpError> error) {
        if (transfer.cancelled) return;
        if (insideCurl) {
            transfer.cancelled = true;
            transfer.endError = std::move(error);
            return;  // collectFinished reports it when curl gives the handle back
        }
        transfer.cancelled = true;
        const TransferID id = transfer.id;
        auto handlers = std::move(transfer.handlers);
        auto fetchCompletion = std::move(transfer.fetchCompletion);
        FetchResult result = std::move(transfer.fetchResult);
        destroy(id);
        report(handlers, fetchCompletion, std::move(result), std::move(error));
    }

    static void report(StreamHandlers& handlers, std::function<void(FetchResult)>& fetchCompletion, FetchResult result,
                       std::optional<HttpError> error) {
        if (fetchCompletion) {
            result.error = std::move(error);
            fetchCompletion(std::move(result));
        } else if (handlers.completion) {
            handlers.completion(error);
        }
    }

    void cancelNow(TransferID id) {
        Transfer* transfer = find(id);
        if (!transfer || transfer->cancelled) return;
        transfer->cancelled = true;
        transfer->endError.reset();
        if (insideCurl) {
            pendingRemovals.push_back(id);
        } else {
            destroy(id);
        }
    }

    void collectFinished() {
        std::vector<std::pair<TransferID, CURLcode>> finished;
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE) continue;
            Transfer* transfer = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
            if (transfer) finished.emplace_back(transfer->id, message->data.result);
        }
        for (auto [id, code] : finished) {
            Transfer* transfer = find(id);
            if (!transfer) continue;
            std::optional<HttpError> error;
            bool silent = false;
            if (transfer->cancelled) {
                error = transfer->endError;
                silent = !error.has_value();
            } else if (code != CURLE_OK) {
                long osErrno = 0;
                curl_easy_getinfo(transfer->easy, CURLINFO_OS_ERRNO, &osErrno);
                std::string detail = transfer->errorBuffer[0] ? transfer->errorBuffer : curl_easy_strerror(code);
                error = HttpError{kindOf(code, osErrno), std::move(detail)};
            }
            auto handlers = std::move(transfer->handlers);
            auto fetchCompletion = std::move(transfer->fetchCompletion);
            FetchResult result = std::move(transfer->fetchResult);
            destroy(id);
            if (!silent) report(handlers, fetchCompletion, std::move(result), std::move(error));
        }
    }

    // The watchdog: one timer per transfer, re-armed for the next deadline that applies.
    void armWatchdog(TransferID id) {
        Transfer* transfer = find(id);
        if (!transfer || transfer->cancelled) return;
        const double now = clock->now();
        const HttpRequest& request = transfer->request;
        double deadline = std::numeric_limits<double>::infinity();
        if (!transfer->responseDelivered && request.headerTimeout > 0)
            deadline = std::min(deadline, transfer->startTime + request.headerTimeout);
        if (transfer->responseDelivered && request.idleTimeout > 0)
            deadline = std::min(deadline, transfer->lastActivity + request.idleTimeout);
        if (request.totalTimeout > 0) deadline = std::min(deadline, transfer->startTime + request.totalTimeout);
        if (!std::isfinite(deadline)) return;
        // A timer may fire a rounding error before the deadline it was set for.
        if (deadline <= now + 1e-9) {
            end(*transfer, HttpError{HttpError::Kind::timedOut, "Timed out"});
            return;
        }
        schedule(deadline - now, [this, id] { armWatchdog(id); });
    }

    TransferID start(HttpRequest request, StreamHandlers handlers, std::function<void(FetchResult)> fetchCompletion) {
        const TransferID id = ++lastTransferID;
        auto begin = [this, id, request = std::move(request), handlers = std::move(handlers),
                      fetchCompletion = std::move(fetchCompletion)]() mutable {
            if (stopping.load()) return;
            auto transfer = std::make_unique<Transfer>();
            transfer->loop = this;
            transfer->id = id;
            transfer->request = std::move(request);
            transfer->handlers = std::move(handlers);
            transfer->fetchCompletion = std::move(fetchCompletion);
            transfer->startTime = clock->now();
            transfer->lastActivity = transfer->startTime;
            if (!configure(*transfer)) {
                auto handlersCopy = std::move(transfer->handlers);
                auto completionCopy = std::move(transfer->fetchCompletion);
                if (transfer->easy) curl_easy_cleanup(transfer->easy);
                curl_slist_free_all(transfer->headerList);
                report(handlersCopy, completionCopy, {}, HttpError{HttpError::Kind::other, "Bad request"});
                return;
            }
            transfers.emplace(id, std::move(transfer));
            transferCount = transfers.size();
            pendingAdds.push_back(id);
            applyPending();
            armWatchdog(id);
        };
        if (isLoopThread()) {
            begin();
        } else {
            enqueue(std::move(begin));
        }
        return id;
    }

    bool configure(Transfer& transfer) {
        CURL* easy = curl_easy_init();
        if (!easy) return false;
        transfer.easy = easy;
        const HttpRequest& request = transfer.request;
        for (const auto& [name, value] : request.headers)
            transfer.headerList = curl_slist_append(transfer.headerList, (name + ": " + value).c_str());
        bool ok = true;
        auto set = [&](CURLcode code) { ok = ok && code == CURLE_OK; };
        set(curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str()));
        set(curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer));
        set(curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorBuffer));
        set(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
        set(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https"));
        set(curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
        set(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.maximumRedirects > 0 ? 1L : 0L));
        set(curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(std::max(0, request.maximumRedirects))));
        // SHOUTcast answers "ICY 200 OK". Only that exact line is an alias: a bare "ICY"
        // would make "ICY 404 Not Found" a success.
        set(curl_easy_setopt(easy, CURLOPT_HTTP200ALIASES, aliases));
        set(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headerList));
        set(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::onHeader));
        set(curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer));
        set(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::onData));
        set(curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer));
        set(curl_easy_setopt(easy, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1"));
        set(curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L));
        set(curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 64L * 1024L));
        if (transfer.fetchCompletion) set(curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, ""));
        return ok;
    }

    bool isLoopThread() const { return std::this_thread::get_id() == loopThreadID.load(); }

    // --- libcurl callbacks (inside curl_multi_perform, loop thread) ---

    static bool isFinalBlock(Transfer& transfer, long status) {
        if (status >= 100 && status < 200) return false;
        // A redirect that curl is about to follow: the next block is the one that counts.
        const bool redirect = status >= 300 && status < 400 && transfer.blockHeaders.contains("location");
        return !(redirect && transfer.request.maximumRedirects > 0);
    }

    static size_t onHeader(char* buffer, size_t size, size_t count, void* userData) {
        auto& transfer = *static_cast<Transfer*>(userData);
        const size_t length = size * count;
        if (transfer.cancelled) return 0;
        if (transfer.responseDelivered) return length;  // trailers of a chunked body
        std::string_view line(buffer, length);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);

        if (line.starts_with("HTTP/") || line.starts_with("ICY ")) {
            transfer.blockHeaders.clear();
            transfer.lastHeaderName.clear();
            return length;
        }
        if (line.empty()) {
            long status = 0;
            curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
            if (!isFinalBlock(transfer, status)) return length;
            return transfer.loop->deliverResponse(transfer, status) ? length : 0;
        }
        if ((line.front() == ' ' || line.front() == '\t') && !transfer.lastHeaderName.empty()) {
            transfer.blockHeaders[transfer.lastHeaderName] += " " + trimmedSpacesAndTabs(line);
            return length;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) return length;
        std::string name = lowercased(trimmedSpacesAndTabs(line.substr(0, colon)));
        std::string value = trimmedSpacesAndTabs(line.substr(colon + 1));
        auto [entry, inserted] = transfer.blockHeaders.try_emplace(name, value);
        if (!inserted) entry->second += ", " + value;
        transfer.lastHeaderName = std::move(name);
        return length;
    }

    static double roundTrip(CURL* easy) {
        long redirects = 0;
        curl_off_t lookup = 0, connected = 0;
        // Redirects add up the times of every connection.
        if (curl_easy_getinfo(easy, CURLINFO_REDIRECT_COUNT, &redirects) != CURLE_OK || redirects > 0 ||
            curl_easy_getinfo(easy, CURLINFO_NAMELOOKUP_TIME_T, &lookup) != CURLE_OK ||
            curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected) != CURLE_OK)
            return 0;
        return double(std::max<curl_off_t>(0, connected - lookup)) / 1e6;
    }

    bool deliverResponse(Transfer& transfer, long status) {
        HttpResponse response;
        char* effectiveURL = nullptr;
        curl_easy_getinfo(transfer.easy, CURLINFO_EFFECTIVE_URL, &effectiveURL);
        response.url = effectiveURL ? effectiveURL : transfer.request.url;
        response.statusCode = static_cast<int>(status);
        response.roundTrip = roundTrip(transfer.easy);
        response.headers = std::move(transfer.blockHeaders);
        transfer.blockHeaders.clear();
        if (auto type = response.headers.find("content-type"); type != response.headers.end()) {
            std::string_view value = type->second;
            response.mimeType = lowercased(trimmedSpacesAndTabs(value.substr(0, value.find(';'))));
        }
        transfer.responseDelivered = true;
        transfer.lastActivity = clock->now();
        if (transfer.fetchCompletion) {
            transfer.fetchResult.response = std::move(response);
            return true;
        }
        if (transfer.handlers.response && !transfer.handlers.response(response)) {
            cancelNow(transfer.id);
            return false;
        }
        return !transfer.cancelled;
    }

    static size_t onData(char* buffer, size_t size, size_t count, void* userData) {
        auto& transfer = *static_cast<Transfer*>(userData);
        const size_t length = size * count;
        if (transfer.cancelled) return 0;
        Impl& loop = *transfer.loop;
        if (!transfer.responseDelivered) {
            // A body without a final header block cannot happen with HTTP; be safe anyway.
            long status = 0;
            curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
            if (!loop.deliverResponse(transfer, status)) return 0;
        }
        transfer.lastActivity = loop.clock->now();
        if (transfer.fetchCompletion) {
            if (transfer.fetchResult.body.size() + length > transfer.request.maximumBodyBytes) {
                loop.end(transfer, HttpError{HttpError::Kind::bodyTooLarge, "Response too large"});
                return 0;
            }
            transfer.fetchResult.body.append(buffer, length);
            return length;
        }
        if (length > 0 && transfer.handlers.data &&
            !transfer.handlers.data(reinterpret_cast<const uint8_t*>(buffer), length)) {
            loop.cancelNow(transfer.id);
            return 0;
        }
        return transfer.cancelled ? 0 : length;
    }
};

HttpLoop::HttpLoop(std::string label, std::shared_ptr<LoopClock> clock) : impl_(std::make_unique<Impl>()) {
    initialiseCurlOnce();
    impl_->label = std::move(label);
    impl_->clock = clock ? std::move(clock) : std::make_shared<SteadyLoopClock>();
    impl_->multi = curl_multi_init();
    if (!impl_->multi) throw std::runtime_error("libcurl could not create a transfer loop");
    impl_->aliases = curl_slist_append(nullptr, "ICY 200 OK");
    impl_->waker->multi = impl_->multi;
    if (!impl_->clock->isRealTime()) {
        impl_->clockListener = impl_->clock->addListener([waker = impl_->waker] { waker->wake(); });
    }
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

HttpLoop::~HttpLoop() {
    impl_->stopping = true;
    impl_->clock->removeListener(impl_->clockListener);
    impl_->wake();
    if (impl_->thread.joinable()) impl_->thread.join();
    {
        std::lock_guard lock(impl_->waker->mutex);
        impl_->waker->multi = nullptr;
    }
    while (!impl_->transfers.empty()) impl_->destroy(impl_->transfers.begin()->first);
    // Work that never ran is dropped outside the lock: what it captured may dispatch.
    std::deque<std::function<void()>> tasks;
    std::priority_queue<Impl::Timer, std::vector<Impl::Timer>, std::greater<>> timers;
    {
        std::lock_guard lock(impl_->mutex);
        for (auto& waiter : impl_->waiters) {
            std::lock_guard inner(waiter->mutex);
            waiter->abandoned = true;
            waiter->condition.notify_all();
        }
        tasks.swap(impl_->tasks);
        timers.swap(impl_->timers);
    }
    curl_multi_cleanup(impl_->multi);
    curl_slist_free_all(impl_->aliases);
}

const std::string& HttpLoop::label() const { return impl_->label; }
LoopClock& HttpLoop::clock() const { return *impl_->clock; }
double HttpLoop::now() const { return impl_->clock->now(); }
bool HttpLoop::isLoopThread() const { return impl_->isLoopThread(); }

void HttpLoop::dispatch(std::function<void()> work) { impl_->enqueue(std::move(work)); }

CancelHandle HttpLoop::dispatchAfter(double seconds, std::function<void()> work) {
    return impl_->schedule(seconds, std::move(work));
}

void HttpLoop::dispatchSync(const std::function<void()>& work) {
    if (isLoopThread()) {
        work();
        return;
    }
    std::mutex mutex;
    std::condition_variable condition;
    bool done = false;
    impl_->enqueue([&] {
        work();
        std::lock_guard lock(mutex);
        done = true;
        condition.notify_all();
    });
    std::unique_lock lock(mutex);
    condition.wait(lock, [&] { return done; });
}

HttpLoop::TransferID HttpLoop::startStream(HttpRequest request, StreamHandlers handlers) {
    return impl_->start(std::move(request), std::move(handlers), nullptr);
}

HttpLoop::TransferID HttpLoop::fetch(HttpRequest request, std::function<void(FetchResult)> completion) {
    if (!completion) completion = [](FetchResult) {};
    return impl_->start(std::move(request), {}, std::move(completion));
}

void HttpLoop::cancel(TransferID transfer) {
    if (transfer == 0) return;
    if (isLoopThread()) {
        impl_->cancelNow(transfer);
    } else {
        impl_->enqueue([impl = impl_.get(), transfer] { impl->cancelNow(transfer); });
    }
}

std::size_t HttpLoop::activeTransfers() const { return impl_->transferCount.load(); }

bool HttpLoop::waitUntil(std::function<bool()> predicate, double maximumSeconds) {
    auto waiter = std::make_shared<Impl::Waiter>();
    waiter->predicate = std::move(predicate);
    {
        std::lock_guard lock(impl_->mutex);
        impl_->waiters.push_back(waiter);
    }
    impl_->wake();
    std::unique_lock lock(waiter->mutex);
    const bool held = waiter->condition.wait_for(lock, std::chrono::duration<double>(maximumSeconds),
                                                 [&] { return waiter->satisfied || waiter->abandoned; });
    const bool satisfied = held && waiter->satisfied;
    // The predicate may capture the caller's locals: it must never run after we return.
    waiter->abandoned = true;
    return satisfied;
}

}  // namespace norvo
