#include "tools/korvala/live/LiveServer.h"

#include "tools/korvala/ToolError.h"
#include "tools/korvala/live/LivePageAssets.h"
#include "tools/korvala/output/FrameWriter.h"

#include <fmt/format.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <iterator>
#include <utility>

namespace korvala::cli {

namespace {

// How long a viewer's stream waits for a frame before it sends a keep-alive
// comment (which also notices a viewer that has gone away).
constexpr auto kKeepAlive = std::chrono::seconds(1);
// A viewer whose socket accepts nothing for this long is dropped.
constexpr int kWriteTimeoutSeconds = 2;
// Connection threads: each viewer's stream holds one for as long as it watches.
constexpr std::size_t kConnectionThreads = 64;

bool isLoopback(const std::string& host) {
    return host == "127.0.0.1" || host == "localhost" || host == "::1";
}

std::string hostForUrl(const std::string& host) {
    if (host == "0.0.0.0" || host.empty()) {
        return "127.0.0.1";
    }
    if (host == "::") {
        return "[::1]";
    }
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

void appendNumber(std::string& out, float value, bool exact) {
    if (!std::isfinite(value)) {
        value = 0.0f; // JSON has no NaN; the engine never yields one
    }
    if (exact) {
        appendFloat(out, value);
    } else {
        fmt::format_to(std::back_inserter(out), "{:.4g}", value);
    }
}

// One SSE message; scalars keep every bit (shortest round-trip form), vectors
// are for drawing and keep four significant digits.
std::string frameEvent(const LiveFrame& frame, std::int64_t wallMs) {
    std::string out;
    out.reserve(64 + 16 * frame.scalars.size() + 8 * 1024 * frame.vectors.size());
    fmt::format_to(std::back_inserter(out),
                   "data: {{\"i\":{},\"t\":{},\"wall\":{},\"tr\":{},\"knobs\":[{},{}],\"s\":[",
                   frame.index, frame.time, wallMs, frame.transitions, frame.reactivity,
                   frame.audioSpeed);
    for (std::size_t k = 0; k < frame.scalars.size(); ++k) {
        if (k > 0) {
            out += ',';
        }
        appendNumber(out, frame.scalars[k], true);
    }
    out += "],\"v\":[";
    for (std::size_t k = 0; k < frame.vectors.size(); ++k) {
        out += k > 0 ? ",[" : "[";
        const std::vector<float>& values = frame.vectors[k];
        for (std::size_t j = 0; j < values.size(); ++j) {
            if (j > 0) {
                out += ',';
            }
            appendNumber(out, values[j], false);
        }
        out += ']';
    }
    out += "]}\n\n";
    return out;
}

} // namespace

ServeAddress parseServeAddress(const std::string& text) {
    ServeAddress address;
    std::string port = text;
    const std::size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        address.host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (address.host.size() >= 2 && address.host.front() == '[' && address.host.back() == ']') {
            address.host = address.host.substr(1, address.host.size() - 2);
        }
        if (address.host.empty()) {
            throw UsageError("--serve: '" + text + "' has no address before the ':'");
        }
    }
    const bool digits = !port.empty() && port.size() <= 5 &&
                        port.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(port) > 65535) {
        throw UsageError("--serve: '" + text + "' is not [ADDR:]PORT with a port 0 to 65535");
    }
    address.port = std::stoi(port);
    return address;
}

LiveServer::LiveServer(Options options)
    : options_(std::move(options)), server_(std::make_unique<httplib::Server>()) {
    const LivePageAssets& assets = livePageAssets();
    std::string page(assets.pageTemplate);
    const auto fill = [&page](const std::string& slot, std::string_view value) {
        const std::size_t at = page.find(slot);
        if (at != std::string::npos) {
            page.replace(at, slot.size(), value);
        }
    };
    fill("@@KORVALA_STYLE@@", assets.pageStyle);
    fill("@@KORVALA_SCRIPT@@", assets.pageScript);

    server_->new_task_queue = [] { return new httplib::ThreadPool(kConnectionThreads); };
    server_->set_write_timeout(kWriteTimeoutSeconds, 0);
    server_->set_keep_alive_max_count(100);

    // Requests must name this server as their host: a page on another site
    // that resolves its own name to this machine is refused.
    const bool loopbackOnly = isLoopback(options_.address.host);
    auto hostAllowed = [this, loopbackOnly](const httplib::Request& request) {
        if (!loopbackOnly) {
            return true;
        }
        const std::string host = request.get_header_value("Host");
        const std::string port = ":" + std::to_string(port_);
        return host == "127.0.0.1" + port || host == "localhost" + port || host == "[::1]" + port;
    };

    server_->Get(
        "/", [page, hostAllowed](const httplib::Request& request, httplib::Response& response) {
            if (!hostAllowed(request)) {
                response.status = 400;
                response.set_content("unknown host\n", "text/plain");
                return;
            }
            response.set_header("Cache-Control", "no-store");
            response.set_header("Content-Security-Policy",
                                "default-src 'self'; script-src 'unsafe-inline'; "
                                "style-src 'unsafe-inline'; img-src data:; media-src 'self'");
            response.set_content(page, "text/html; charset=utf-8");
        });

    server_->Get("/events", [this, hostAllowed](const httplib::Request& request,
                                                httplib::Response& response) {
        if (!hostAllowed(request)) {
            response.status = 400;
            response.set_content("unknown host\n", "text/plain");
            return;
        }
        response.set_header("Cache-Control", "no-store");
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++viewers_;
        }
        wake_.notify_all();
        auto seen = std::make_shared<std::uint64_t>(0);
        auto greeted = std::make_shared<bool>(false);
        response.set_chunked_content_provider(
            "text/event-stream",
            [this, seen, greeted](std::size_t, httplib::DataSink& sink) {
                if (!*greeted) {
                    // The names come first; a viewer early for the run waits for them.
                    std::string hello;
                    bool stopping = false;
                    {
                        std::unique_lock<std::mutex> lock(mutex_);
                        wake_.wait_for(lock, kKeepAlive,
                                       [this] { return !hello_.empty() || stopping_; });
                        hello = hello_;
                        stopping = stopping_;
                    }
                    if (hello.empty()) {
                        static const std::string keepAlive = ": keep-alive\n\n";
                        return !stopping && sink.write(keepAlive.data(), keepAlive.size());
                    }
                    *greeted = true;
                    return sink.write(hello.data(), hello.size());
                }
                std::shared_ptr<const std::string> text;
                if (!waitNext(*seen, text)) {
                    bool ended = false;
                    {
                        std::lock_guard<std::mutex> lock(mutex_);
                        ended = ended_ || stopping_;
                    }
                    if (ended) {
                        static const std::string bye = "event: end\ndata: {}\n\n";
                        sink.write(bye.data(), bye.size());
                        sink.done();
                        return true;
                    }
                    static const std::string keepAlive = ": keep-alive\n\n";
                    return sink.write(keepAlive.data(), keepAlive.size());
                }
                return sink.write(text->data(), text->size());
            },
            [this](bool) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    --viewers_;
                }
                wake_.notify_all();
            });
    });

    server_->Get("/snapshot",
                 [this, hostAllowed](const httplib::Request& request, httplib::Response& response) {
                     if (!hostAllowed(request)) {
                         response.status = 400;
                         response.set_content("unknown host\n", "text/plain");
                         return;
                     }
                     LiveFrame frame;
                     std::int64_t wall = 0;
                     {
                         std::lock_guard<std::mutex> lock(mutex_);
                         frame = last_;
                         wall = lastWall_;
                     }
                     if (wall == 0) {
                         response.status = 404;
                         response.set_content("no frame yet\n", "text/plain");
                         return;
                     }
                     // The event text minus its "data: " prefix and blank-line end.
                     const std::string text = frameEvent(frame, wall);
                     response.set_header("Cache-Control", "no-store");
                     response.set_content(text.substr(6, text.size() - 8), "application/json");
                 });

    if (!options_.audio.empty()) {
        server_->Get("/audio", [this, hostAllowed](const httplib::Request& request,
                                                   httplib::Response& response) {
            if (!hostAllowed(request)) {
                response.status = 400;
                return;
            }
            response.set_content(options_.audio, options_.audioType);
        });
    }

    // Controls: only from this page (same origin, JSON, a known name and a value in [0, 1]).
    server_->Post("/control", [this, hostAllowed](const httplib::Request& request,
                                                  httplib::Response& response) {
        const auto refuse = [&response](const std::string& why) {
            response.status = 400;
            response.set_content(why + "\n", "text/plain");
        };
        const std::string origin = request.get_header_value("Origin");
        if (!hostAllowed(request) || origin != "http://" + request.get_header_value("Host")) {
            return refuse("controls are accepted from this server's own page only");
        }
        if (request.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
            return refuse("expected application/json");
        }
        const nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
        if (!body.is_object() || !body.contains("name") || !body.contains("value") ||
            !body["name"].is_string() || !body["value"].is_number()) {
            return refuse("expected {\"name\": \"reactivity\" or \"audioSpeed\", \"value\": 0..1}");
        }
        const std::string name = body["name"].get<std::string>();
        const double value = body["value"].get<double>();
        if (name != "reactivity" && name != "audioSpeed") {
            return refuse("unknown control '" + name + "'");
        }
        if (!(value >= 0.0 && value <= 1.0)) {
            return refuse(name + " must lie in 0 to 1");
        }
        if (options_.onControl) {
            options_.onControl(name, static_cast<float>(value));
        }
        response.status = 204;
    });

    const std::string& host = options_.address.host;
    if (options_.address.port == 0) {
        port_ = server_->bind_to_any_port(host);
    } else if (server_->bind_to_port(host, options_.address.port)) {
        port_ = options_.address.port;
    } else {
        port_ = -1;
    }
    if (port_ <= 0) {
        throw InputError("--serve: cannot listen on " + hostForUrl(host) + ":" +
                         std::to_string(options_.address.port) +
                         " (in use, or not an address of this machine)");
    }
    listener_ = std::thread([this] { server_->listen_after_bind(); });
    broadcaster_ = std::thread([this] { broadcast(); });
}

LiveServer::~LiveServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    pendingReady_.notify_all();
    wake_.notify_all();
    server_->stop();
    if (listener_.joinable()) {
        listener_.join();
    }
    if (broadcaster_.joinable()) {
        broadcaster_.join();
    }
}

std::string LiveServer::url() const {
    return "http://" + hostForUrl(options_.address.host) + ":" + std::to_string(port_) + "/";
}

int LiveServer::viewers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return viewers_;
}

bool LiveServer::waitForViewer(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_for(lock, timeout, [this] { return viewers_ > 0 || stopping_; }) &&
           viewers_ > 0;
}

void LiveServer::begin(const std::vector<std::string>& scalarNames,
                       const std::vector<std::string>& vectorNames) {
    const nlohmann::json hello = {{"title", options_.title},
                                  {"fps", options_.fps},
                                  {"audio", !options_.audio.empty()},
                                  {"scalars", scalarNames},
                                  {"vectors", vectorNames}};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hello_ = "event: hello\ndata: " + hello.dump() + "\n\n";
    }
    wake_.notify_all();
}

void LiveServer::publish(const LiveFrame& frame) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.index = frame.index;
        pending_.time = frame.time;
        pending_.transitions = frame.transitions;
        pending_.reactivity = frame.reactivity;
        pending_.audioSpeed = frame.audioSpeed;
        pending_.scalars.assign(frame.scalars.begin(), frame.scalars.end());
        pending_.vectors.resize(frame.vectors.size());
        for (std::size_t k = 0; k < frame.vectors.size(); ++k) {
            pending_.vectors[k].assign(frame.vectors[k].begin(), frame.vectors[k].end());
        }
        pendingWall_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
        hasPending_ = true;
    }
    pendingReady_.notify_one();
}

void LiveServer::end() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }
    pendingReady_.notify_all();
    wake_.notify_all();
}

// Turns the newest pending frame into event text, once for all viewers (and
// not at all while nobody watches: /snapshot formats the last frame itself).
void LiveServer::broadcast() {
    LiveFrame frame;
    std::int64_t wall = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            pendingReady_.wait(lock, [this] { return hasPending_ || stopping_; });
            if (stopping_) {
                return;
            }
            std::swap(last_, pending_);
            lastWall_ = pendingWall_;
            hasPending_ = false;
            if (viewers_ == 0) {
                continue;
            }
            frame = last_;
            wall = lastWall_;
        }
        auto text = std::make_shared<const std::string>(frameEvent(frame, wall));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            latest_ = std::move(text);
            ++latestSeq_;
        }
        wake_.notify_all();
    }
}

// The newest frame text this viewer has not sent yet; false when none came
// within the keep-alive interval or the run is over.
bool LiveServer::waitNext(std::uint64_t& seen, std::shared_ptr<const std::string>& text) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, kKeepAlive, [&] { return latestSeq_ != seen || ended_ || stopping_; });
    if (latestSeq_ == seen || stopping_) {
        return false;
    }
    seen = latestSeq_;
    text = latest_;
    return true;
}

} // namespace korvala::cli
