#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pmv::test {

// A private PostgreSQL cluster for one test program: made with initdb in a temporary folder,
// listening on a free port of 127.0.0.1 (its socket in that folder), password logins only, and
// removed at the end. The server refuses to run as root: under root the cluster belongs to
// "nobody". Logins: the superuser "postgres" and the user "pmv", both with their password in a
// ~/.pgpass of the cluster's own that PGPASSFILE names for this process and its children.
class PostgresServer {
public:
    // `durable`: fsync as a real server does (for timings); tests run without it.
    explicit PostgresServer(bool durable = false);
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Empty when the server runs; otherwise what failed.
    const std::string& failure() const { return failure_; }
    int port() const { return port_; }

    // A new database owned by "pmv"; its name, or empty with failure() set.
    std::string CreateDatabase();
    // postgresql://pmv@127.0.0.1:PORT/DATABASE
    std::string Url(const std::string& database, const std::string& user = "pmv") const;

    // Runs SQL as the superuser in `database`; the rows printed (unaligned, "|" between columns),
    // or nullopt with failure() set.
    std::optional<std::string> Sql(const std::string& database, const std::string& sql);

    // The server stopped at once, as a crash would: every connection dropped, nothing flushed.
    bool Kill();
    bool Start();

private:
    // Runs a program of the server's bin folder (as the cluster's owner when `asOwner`); its
    // output in output_, false with failure_ set when it did not end with 0.
    bool Run(const std::string& program, const std::vector<std::string>& arguments, bool asOwner);

    std::string folder_;
    std::string bin_;
    std::string failure_;
    std::string output_;
    int port_ = 0;
    bool durable_ = false;
    bool running_ = false;
};

// A free TCP port of 127.0.0.1 at the moment of the call.
int FreePort();

}  // namespace pmv::test
