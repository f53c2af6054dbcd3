#include "tools/korvala/FileBatch.h"

#include "tools/korvala/ToolError.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <optional>
#include <poll.h>
#include <sched.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace korvala::cli {

namespace {

// What a child sends back: one status byte ('+' done, '!' failed), then the
// text or the error message.
struct Child {
    std::size_t index = 0;
    pid_t pid = -1;
    int fd = -1;
    std::string received;
};

void writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

[[noreturn]] void childMain(int fd, std::size_t index, const BatchWork& work) {
    std::string message;
    int status = 0;
    try {
        message = "+" + work(index);
    } catch (const std::exception& e) {
        message = std::string("!") + e.what();
        status = 1;
    }
    std::fflush(stdout);
    writeAll(fd, message);
    ::close(fd);
    std::_Exit(status);
}

// "[#####.....] 3/19 files" on a terminal, erased before other lines.
class FilesBar {
public:
    FilesBar(bool shown, std::size_t total) : shown_(shown), total_(total) {}
    void draw(std::size_t done) {
        if (!shown_ || (drawn_ && done == lastDone_)) {
            return;
        }
        lastDone_ = done;
        constexpr std::size_t kWidth = 40;
        const std::size_t filled = total_ > 0 ? done * kWidth / total_ : kWidth;
        std::string bar(filled, '#');
        bar.append(kWidth - filled, '.');
        std::fprintf(stderr, "\r[%s] %zu/%zu files", bar.c_str(), done, total_);
        std::fflush(stderr);
        drawn_ = true;
    }
    void erase() {
        if (drawn_) {
            std::fprintf(stderr, "\r%*s\r", 70, "");
            std::fflush(stderr);
            drawn_ = false;
        }
    }

private:
    bool shown_;
    std::size_t total_;
    bool drawn_ = false;
    std::size_t lastDone_ = 0;
};

std::string signalText(int status) {
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        const char* name = ::strsignal(sig);
        return "the analysis stopped on signal " + std::to_string(sig) +
               (name != nullptr ? std::string(" (") + name + ")" : std::string());
    }
    return "the analysis stopped with status " + std::to_string(WEXITSTATUS(status));
}

} // namespace

unsigned availableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof(set), &set) == 0) {
        return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
    }
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1U;
}

std::string outputPathFor(const std::string& dir, const std::string& input,
                          const std::string& suffix) {
    std::string base = input;
    const std::size_t slash = base.find_last_of('/');
    if (slash != std::string::npos) {
        base = base.substr(slash + 1);
    }
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        base = base.substr(0, dot);
    }
    if (base.empty() || base == "-") {
        base = base == "-" ? "stdin" : "demo";
    }
    return dir + (dir.empty() || dir.back() == '/' ? "" : "/") + base + suffix;
}

void checkDistinctOutputs(const std::vector<std::string>& paths) {
    std::set<std::string> seen;
    for (const std::string& path : paths) {
        if (!seen.insert(path).second) {
            throw UsageError("--out-dir: two inputs would both be written to " + path +
                             "; give them different names");
        }
    }
}

std::size_t runBatch(const std::vector<std::string>& names, const BatchOptions& options,
                     const BatchWork& work, const BatchDeliver& deliver) {
    const std::size_t count = names.size();
    const bool showBar =
        options.progress > 0 || (options.progress == 0 && ::isatty(STDERR_FILENO) == 1);
    FilesBar bar(showBar, count);
    const unsigned jobs = std::max(1U, options.jobs);
    std::vector<Child> running;
    std::map<std::size_t, std::optional<std::string>> finished; // nullopt: failed
    std::size_t next = 0;
    std::size_t delivered = 0;
    std::size_t done = 0;
    std::size_t failed = 0;
    std::fflush(stdout);
    std::fflush(stderr);
    bar.draw(0);

    while (next < count || !running.empty()) {
        while (next < count && running.size() < jobs) {
            int fds[2];
            if (::pipe(fds) != 0) {
                throw InputError(std::string("cannot start a job: ") + std::strerror(errno));
            }
            const pid_t pid = ::fork();
            if (pid < 0) {
                ::close(fds[0]);
                ::close(fds[1]);
                throw InputError(std::string("cannot start a job: ") + std::strerror(errno));
            }
            if (pid == 0) {
                ::close(fds[0]);
                for (const Child& other : running) {
                    ::close(other.fd);
                }
                childMain(fds[1], next, work);
            }
            ::close(fds[1]);
            running.push_back(Child{next, pid, fds[0], {}});
            ++next;
        }

        std::vector<pollfd> polls;
        for (const Child& child : running) {
            polls.push_back(pollfd{child.fd, POLLIN, 0});
        }
        if (::poll(polls.data(), polls.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw InputError(std::string("waiting for jobs: ") + std::strerror(errno));
        }
        for (std::size_t i = running.size(); i-- > 0;) {
            if (polls[i].revents == 0) {
                continue;
            }
            Child& child = running[i];
            char buffer[65536];
            const ssize_t got = ::read(child.fd, buffer, sizeof buffer);
            if (got > 0) {
                child.received.append(buffer, static_cast<std::size_t>(got));
                continue;
            }
            if (got < 0 && errno == EINTR) {
                continue;
            }
            // End of the child's message: collect the child.
            ::close(child.fd);
            int status = 0;
            while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
            }
            std::optional<std::string> text;
            std::string error;
            if (!child.received.empty() && child.received[0] == '+' && WIFEXITED(status) &&
                WEXITSTATUS(status) == 0) {
                text = child.received.substr(1);
            } else if (!child.received.empty() && child.received[0] == '!') {
                error = child.received.substr(1);
            } else {
                error = names[child.index] + ": " + signalText(status);
            }
            if (!text) {
                ++failed;
                bar.erase();
                std::fprintf(stderr, "korvala: %s\n", error.c_str());
            }
            finished[child.index] = text;
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
            ++done;
        }
        // Hand on what is complete, in input order.
        while (finished.count(delivered) != 0) {
            if (finished[delivered]) {
                bar.erase();
                deliver(delivered, *finished[delivered]);
                std::fflush(stdout);
            }
            finished.erase(delivered);
            ++delivered;
        }
        bar.draw(done);
    }
    bar.erase();
    return failed;
}

} // namespace korvala::cli
