#include "postgres_server.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pmv::test {
namespace {

constexpr const char* kSuperPassword = "super-secret";
constexpr const char* kUserPassword = "pmv-secret";

// The newest server installed: /usr/lib/postgresql/VERSION/bin.
std::string ServerBin()
{
    std::string best;
    int bestVersion = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
        const int version = std::atoi(entry.path().filename().c_str());
        if (version > bestVersion && std::filesystem::exists(entry.path() / "bin/initdb")) {
            bestVersion = version;
            best = (entry.path() / "bin").string();
        }
    }
    return best;
}

}  // namespace

int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        close(fd);
    return port;
}

PostgresServer::PostgresServer(bool durable) : bin_(ServerBin()), durable_(durable)
{
    if (bin_.empty()) {
        failure_ = "no PostgreSQL server in /usr/lib/postgresql/*/bin (package postgresql)";
        return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "pmvpg-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        failure_ = "cannot create a temporary folder";
        return;
    }
    folder_ = pattern;
    // The cluster's owner must be able to reach its folder; the password files stay the test's.
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody || chown(folder_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            failure_ = "cannot give the cluster's folder to nobody";
            return;
        }
    }
    const std::string passwordFile = folder_ + "/superuser-password";
    std::ofstream(passwordFile) << kSuperPassword << "\n";
    std::filesystem::permissions(passwordFile,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::others_read);
    if (!Run("initdb",
             {"-D", folder_ + "/data", "-U", "postgres", "-A", "scram-sha-256", "--pwfile=" + passwordFile, "-E",
              "UTF8", "--locale=C.UTF-8", "--no-sync", "--no-instructions"},
             true))
        return;
    std::filesystem::remove(passwordFile);

    const std::string pgpass =
        std::filesystem::temp_directory_path() / ("pmvpgpass-" + std::filesystem::path(folder_).filename().string());
    {
        std::ofstream out(pgpass);
        out << "127.0.0.1:*:*:postgres:" << kSuperPassword << "\n*:*:*:pmv:" << kUserPassword << "\n";
    }
    std::filesystem::permissions(pgpass, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    setenv("PGPASSFILE", pgpass.c_str(), 1);
    for (int attempt = 0; attempt < 3 && !running_; ++attempt) {
        port_ = FreePort();
        Start();
    }
    if (!running_)
        return;
    failure_.clear();
    if (!Sql("postgres", "CREATE ROLE pmv LOGIN PASSWORD '" + std::string(kUserPassword) + "'"))
        running_ = false;
}

PostgresServer::~PostgresServer()
{
    if (running_)
        Run("pg_ctl", {"-D", folder_ + "/data", "-m", "immediate", "-w", "stop"}, true);
    if (const char* pgpass = std::getenv("PGPASSFILE"))
        std::filesystem::remove(pgpass);
    std::error_code ignored;
    if (!folder_.empty())
        std::filesystem::remove_all(folder_, ignored);
}

bool PostgresServer::Start()
{
    std::string options = "-c listen_addresses=127.0.0.1 -p " + std::to_string(port_) + " -k " + folder_ +
                          " -c max_connections=60 -c shared_buffers=16MB";
    if (!durable_)
        options += " -c fsync=off -c full_page_writes=off";
    running_ =
        Run("pg_ctl",
            {"-D", folder_ + "/data", "-o", options, "-l", folder_ + "/server.log", "-w", "-t", "30", "start"}, true);
    return running_;
}

bool PostgresServer::Kill()
{
    running_ = !Run("pg_ctl", {"-D", folder_ + "/data", "-m", "immediate", "-w", "stop"}, true);
    return !running_;
}

std::string PostgresServer::CreateDatabase()
{
    static int databases = 0;
    const std::string name = "history" + std::to_string(++databases);
    if (!Sql("postgres", "CREATE DATABASE " + name + " OWNER pmv"))
        return {};
    return name;
}

std::string PostgresServer::Url(const std::string& database, const std::string& user) const
{
    return "postgresql://" + user + "@127.0.0.1:" + std::to_string(port_) + "/" + database;
}

std::optional<std::string> PostgresServer::Sql(const std::string& database, const std::string& sql)
{
    if (!Run("psql",
             {"-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p", std::to_string(port_), "-U",
              "postgres", "-d", database, "-c", sql},
             false))
        return std::nullopt;
    return output_;
}

bool PostgresServer::Run(const std::string& program, const std::vector<std::string>& arguments, bool asOwner)
{
    QStringList list;
    QString command = QString::fromStdString(bin_ + "/" + program);
    if (asOwner && geteuid() == 0) {
        list << "-u"
             << "nobody"
             << "--" << command;
        command = QStringLiteral("runuser");
    }
    for (const std::string& a : arguments)
        list << QString::fromStdString(a);
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(folder_.empty() ? "/" : folder_));
    process.start(command, list);
    const bool finished = process.waitForFinished(60'000);
    output_ = process.readAllStandardOutput().toStdString();
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    failure_ = program + " failed: " + process.readAllStandardError().toStdString() + output_;
    return false;
}

}  // namespace pmv::test
