#pragma once
// kelmobatch as an operator's nightly job meets it: a run started in the background that the test can
// signal, a short register time-out, a register that refuses an update for a while, and a register
// whose server stops answering.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "BatchTestSupport.h"

namespace batchtest {

// A run in the background: its process is kelmobatch itself, so a signal sent to it reaches the batch.
struct Background {
    pid_t pid = -1;
    std::string out, err;
};

// Runs the shell command line, which ends by starting the batch with exec, its output in the folder.
inline Background start(const fs::path& dir, const std::string& command, const std::string& tag = "") {
    Background run;
    run.out = (dir / ("out" + tag + ".txt")).string();
    run.err = (dir / ("err" + tag + ".txt")).string();
    const std::string shell = command + " >'" + run.out + "' 2>'" + run.err + "'";
    run.pid = ::fork();
    if (run.pid == 0) {
        ::execl("/bin/sh", "sh", "-c", shell.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return run;
}

inline Outcome finish(const Background& run) {
    int raw = 0;
    ::waitpid(run.pid, &raw, 0);
    Outcome r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(run.out);
    r.err = slurp(run.err);
    return r;
}

// The server preferences with one setting of the server given another value, or added when it has none.
inline void setSetting(const fs::path& prefs, const std::string& name, const std::string& value) {
    std::string text = slurp(prefs);
    const std::string open = "<" + name + ">", close = "</" + name + ">";
    const size_t at = text.find(open);
    if (at == std::string::npos)
        text.insert(text.find("  </server>"), "    " + open + value + close + "\n");
    else
        text.replace(at, text.find(close, at) + close.size() - at, open + value + close);
    std::ofstream(prefs) << text;
}

// The server preferences with another register time-out, in seconds.
inline void setTimeout(const fs::path& prefs, int seconds) {
    setSetting(prefs, "dbTimeout", std::to_string(seconds));
}

// A login role of the test's own on the test server, as an operator makes one for the batch: made with
// the options given and the settings it is altered with, and dropped with what it was granted.
class BatchRole {
public:
    BatchRole(const std::string& options, const std::string& alterations)
        : name_("kbatch_role_" + std::to_string(::getpid())) {
        // One a killed test left behind.
        if (!pgQuery("postgres", "SELECT 1 FROM pg_roles WHERE rolname = '" + name_ + "'").empty())
            pgQuery("postgres", "DROP ROLE " + name_);
        pgQuery("postgres", "CREATE ROLE " + name_ + " LOGIN PASSWORD '" + password() + "' " + options);
        if (!alterations.empty()) pgQuery("postgres", "ALTER ROLE " + name_ + " " + alterations);
    }
    ~BatchRole() {
        for (const std::string& database : granted_) pgQuery(database, "DROP OWNED BY " + name_);
        pgQuery("postgres", "DROP ROLE " + name_);
    }
    BatchRole(const BatchRole&) = delete;
    BatchRole& operator=(const BatchRole&) = delete;

    // The rights a batch's role needs on the tables of the database.
    void grantTables(const std::string& database) {
        pgQuery(database, "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO " + name_ +
                              "; GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO " + name_);
        granted_.push_back(database);
    }
    // The server preferences log in as the role.
    void named(const fs::path& prefs) const {
        setSetting(prefs, "dbUserID", name_);
        setSetting(prefs, "dbPassword", password());
    }
    const std::string& name() const { return name_; }

private:
    static std::string password() { return "batch-role-pw"; }
    std::string name_;
    std::vector<std::string> granted_;
};

// A register that refuses an update for a while: a trigger on graphic_report that does `act` (raises,
// or sleeps past the time-out) on the first updates of `column` where `when` holds, as many as the
// last refuse() asked for.
class RefusedUpdates {
public:
    RefusedUpdates(std::string database, std::string name, const std::string& column, const std::string& when,
                   const std::string& act)
        : database_(std::move(database)), name_(std::move(name)) {
        const std::string counted = (when.empty() ? "" : when + " AND ") + "nextval('" + name_ +
                                    "') <= (SELECT times FROM " + name_ + "_times)";
        pgQuery(database_, "CREATE TABLE " + name_ + "_times (times integer); INSERT INTO " + name_ +
                               "_times VALUES (0); CREATE SEQUENCE " + name_ + "; CREATE FUNCTION " + name_ +
                               "() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF " + counted + " THEN " + act +
                               "; END IF; RETURN NEW; END $$; CREATE TRIGGER " + name_ + " BEFORE UPDATE OF " + column +
                               " ON graphic_report FOR EACH ROW EXECUTE FUNCTION " + name_ + "();");
    }
    // Runs `reset`, which nothing refuses, then refuses the next `times` updates.
    void refuse(int times, const std::string& reset) const {
        pgQuery(database_, "UPDATE " + name_ + "_times SET times = 0; " + reset + "; ALTER SEQUENCE " + name_ +
                               " RESTART; UPDATE " + name_ + "_times SET times = " + std::to_string(times));
    }

private:
    std::string database_, name_;
};

// Passes connections to the register's socket through, until a client sends `word`: from then on that
// connection goes silent, open but never answered, as a server that hangs or a network that drops
// everything leaves it. Later connections pass as before.
class SilencingProxy {
public:
    SilencingProxy(const fs::path& folder, const std::string& server, std::string word) : word_(std::move(word)) {
        fs::create_directories(folder);
        listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = socketAddress(folder / ".s.PGSQL.5432");
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 16);
        upstream_ = fs::path(server) / ".s.PGSQL.5432";
        thread_ = std::thread([this] { pass(); });
    }
    ~SilencingProxy() {
        stop_ = true;
        thread_.join();
        for (Link& link : links_) close(link);
        ::close(listener_);
    }
    SilencingProxy(const SilencingProxy&) = delete;
    SilencingProxy& operator=(const SilencingProxy&) = delete;

    bool silenced() const { return silenced_; }

private:
    struct Link {
        int client, server;
        bool silent = false;
    };

    static void close(Link& link) {
        if (link.client >= 0) ::close(link.client);
        if (link.server >= 0) ::close(link.server);
        link.client = link.server = -1;
    }

    static sockaddr_un socketAddress(const fs::path& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        return address;
    }

    void pass() {
        while (!stop_) {
            std::vector<pollfd> waiting{{listener_, POLLIN, 0}};
            for (const Link& link : links_) {
                waiting.push_back({link.client, static_cast<short>(link.silent ? 0 : POLLIN), 0});
                waiting.push_back({link.server, static_cast<short>(link.silent ? 0 : POLLIN), 0});
            }
            if (::poll(waiting.data(), waiting.size(), 50) <= 0) continue;
            if (waiting[0].revents & POLLIN) {
                Link link{::accept(listener_, nullptr, nullptr), ::socket(AF_UNIX, SOCK_STREAM, 0)};
                sockaddr_un address = socketAddress(upstream_);
                ::connect(link.server, reinterpret_cast<sockaddr*>(&address), sizeof address);
                links_.push_back(link);
                continue;
            }
            for (size_t i = 0; i < links_.size(); ++i) {
                Link& link = links_[i];
                if (link.silent || link.client < 0) continue;
                if (waiting[1 + 2 * i].revents & (POLLIN | POLLHUP)) forward(link, link.client, link.server, true);
                if (!link.silent && link.client >= 0 && (waiting[2 + 2 * i].revents & (POLLIN | POLLHUP)))
                    forward(link, link.server, link.client, false);
            }
        }
    }

    void forward(Link& link, int from, int to, bool fromClient) {
        char buffer[65536];
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got <= 0) {
            close(link);
            return;
        }
        if (fromClient && !silenced_ &&
            std::string_view(buffer, static_cast<size_t>(got)).find(word_) != std::string_view::npos) {
            link.silent = true;
            silenced_ = true;
            return;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
            if (put <= 0) return;
            done += put;
        }
    }

    std::string word_;
    int listener_ = -1;
    fs::path upstream_;
    std::vector<Link> links_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> silenced_{false};
    std::thread thread_;
};

} // namespace batchtest
