#include "file_error_print.h"
#include "postgres_server.h"
#include "temp_dir.h"

#include "history/postgres_history.h"
#include "history/sqlite_history.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <set>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pmv::history {

void PrintTo(const HistoryError& e, std::ostream* out)
{
    *out << e.text;
    if (e.file)
        ini::PrintTo(*e.file, out);
}

namespace {

HistoryRecord Row(int32_t type, int32_t serial, const char* operation, uint32_t result = 0)
{
    HistoryRecord r;
    r.typeCode = type;
    r.serial = serial;
    r.operation = operation;
    r.result = result;
    r.details = "Канал 1 · Уставка I=50; \"ровно\"";
    return r;
}

// The promises of the history hold on both of its stores: the file of the work folder (false)
// and a PostgreSQL server of the test's own (true).
class Stores : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (!GetParam())
            return;
        server_ = std::make_unique<test::PostgresServer>();
        ASSERT_EQ(server_->failure(), "");
        database_ = server_->CreateDatabase();
        ASSERT_FALSE(database_.empty()) << server_->failure();
    }

    std::unique_ptr<History> Open() const
    {
        return MakeHistory(GetParam() ? server_->Url(database_) : std::string(), dir_.path().string());
    }

    // Another program holding every table of the history in a transaction of its own.
    QSqlDatabase Holder()
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(
            GetParam() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        if (!GetParam()) {
            holder.setDatabaseName(QString::fromStdString(dir_.file(kHistoryFileName)));
            EXPECT_TRUE(holder.open());
            EXPECT_TRUE(QSqlQuery(holder).exec(QStringLiteral("BEGIN EXCLUSIVE")));
            return holder;
        }
        holder.setHostName(QStringLiteral("127.0.0.1"));
        holder.setPort(server_->port());
        holder.setUserName(QStringLiteral("pmv"));
        holder.setDatabaseName(QString::fromStdString(database_));
        EXPECT_TRUE(holder.open()) << holder.lastError().text().toStdString();
        EXPECT_TRUE(QSqlQuery(holder).exec(QStringLiteral("BEGIN")));
        EXPECT_TRUE(QSqlQuery(holder).exec(QStringLiteral("LOCK TABLE records, serials IN ACCESS EXCLUSIVE MODE")));
        return holder;
    }

    test::TempDir dir_;
    std::unique_ptr<test::PostgresServer> server_;
    std::string database_;
};

INSTANTIATE_TEST_SUITE_P(History, Stores, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "server" : "file"; });

TEST_P(Stores, RecordsAreListedFilteredAndExported)
{
    const std::unique_ptr<History> store = Open();
    History& history = *store;
    const SerialReservation first = history.PeekNextSerial(12);
    ASSERT_EQ(first.serial, 1) << first.message.text;
    ASSERT_EQ(history.Record(Row(12, 100, kOperationSerial)), std::nullopt);
    ASSERT_EQ(history.Record(Row(12, 101, kOperationSerial, 2)), std::nullopt);  // failed: not produced
    ASSERT_EQ(history.Record(Row(12, 102, kOperationWrite)), std::nullopt);      // no number written
    HistoryRecord dated = Row(7, 100, kOperationSerial);
    dated.time = "2025-01-31T10:00:00";
    ASSERT_EQ(history.Record(dated), std::nullopt);
    // A failed write of a number may have reached the instrument in part: it counts as given.
    EXPECT_EQ(history.PeekNextSerial(12).serial, 102);
    EXPECT_EQ(history.PeekNextSerial(7).serial, 101);

    std::vector<HistoryRecord> rows;
    ASSERT_EQ(history.Query({.serial = 100}, rows), std::nullopt);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_FALSE(rows[0].operatorName.empty());
    EXPECT_EQ(rows[0].time.size(), 19u) << rows[0].time;
    EXPECT_EQ(rows[0].details, "Канал 1 · Уставка I=50; \"ровно\"");
    ASSERT_EQ(history.Query({.fromDate = "2025-01-01", .toDate = "2025-01-31"}, rows), std::nullopt);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].typeCode, 7);

    // A second program on the same history sees every committed row.
    ASSERT_EQ(Open()->Query({}, rows), std::nullopt);
    EXPECT_EQ(rows.size(), 4u);
}

TEST(History, ACorruptFileIsKeptUntilTheOperatorBeginsANewOne)
{
    test::TempDir dir;
    const std::string path = dir.file(kHistoryFileName);
    const std::string junk(8192, '\x5A');
    test::WriteFileBytes(path, junk);
    SqliteHistory history(path);
    const auto failure = history.Record(Row(1, 1, kOperationFactoryReset));
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->text.find("поврежден"), std::string::npos) << failure->text;
    EXPECT_TRUE(history.corrupt());
    EXPECT_EQ(history.ReserveSerial(1, std::nullopt, false, {}, {}).outcome, SerialReservation::Outcome::HistoryCorrupt)
        << "numbering never restarts on its own";
    EXPECT_EQ(test::ReadFileBytes(path), junk);

    ASSERT_EQ(history.StartNew(), std::nullopt);
    const auto notice = history.TakeNotice();
    ASSERT_TRUE(notice);
    EXPECT_NE(notice->find("поврежден"), std::string::npos);
    EXPECT_EQ(history.TakeNotice(), std::nullopt) << "said once";
    EXPECT_EQ(history.Record(Row(1, 1, kOperationFactoryReset)), std::nullopt);
    int setAside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().filename().string().starts_with("history.sqlite.corrupt-")) {
            ++setAside;
            EXPECT_EQ(test::ReadFileBytes(entry.path().string()), junk);
        }
    EXPECT_EQ(setAside, 1);

    const std::string nowhere = dir.file("no-such-folder/history.sqlite");
    const auto unwritable = SqliteHistory(nowhere).Record(Row(1, 1, kOperationWrite));
    ASSERT_TRUE(unwritable);
    EXPECT_EQ(unwritable->file, (ini::FileError{ini::FileOperation::CreateFile, nowhere, ENOENT}));
    EXPECT_EQ(unwritable->step, HistoryFileStep::Create);
    EXPECT_EQ(unwritable->where, nowhere);
}

// The write opens its history while it works the line; the row then goes in on the caller's
// thread, and a file that cannot serve is reported by the row as before.
TEST(History, AHistoryOpenedAsideTakesTheCallersRowsAndStillReportsAFailure)
{
    test::TempDir dir;
    SqliteHistory history(dir.file(kHistoryFileName));
    history.OpenAside();
    ASSERT_EQ(history.Record(Row(12, 5, kOperationWrite)), std::nullopt);
    std::vector<HistoryRecord> rows;
    ASSERT_EQ(history.Query({}, rows), std::nullopt);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].serial, 5);

    const std::string junk(8192, '\x5A');
    test::WriteFileBytes(dir.file("junk.sqlite"), junk);
    SqliteHistory broken(dir.file("junk.sqlite"));
    broken.OpenAside();
    const auto failure = broken.Record(Row(12, 6, kOperationWrite));
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->text.find("поврежден"), std::string::npos) << failure->text;
    EXPECT_TRUE(broken.corrupt());
    EXPECT_EQ(test::ReadFileBytes(dir.file("junk.sqlite")), junk);
    ASSERT_EQ(broken.StartNew(), std::nullopt);
    EXPECT_EQ(broken.Record(Row(12, 6, kOperationWrite)), std::nullopt);

    // Given up while the opening runs: it is waited for, and the file is a sound history.
    {
        SqliteHistory left(dir.file("left.sqlite"));
        left.OpenAside();
    }
    SqliteHistory reopened(dir.file("left.sqlite"));
    EXPECT_EQ(reopened.Query({}, rows), std::nullopt);
}

TEST_P(Stores, ReservedNumbersAreNeverGivenTwice)
{
    using Outcome = SerialReservation::Outcome;
    const std::unique_ptr<History> store = Open();
    History& history = *store;
    ASSERT_EQ(history.Record(Row(12, 40, kOperationSerial)), std::nullopt);  // written by hand from the window

    const SerialReservation first = history.ReserveSerial(12, std::nullopt, false, {}, {});
    ASSERT_EQ(first.outcome, Outcome::Reserved) << first.message.text;
    EXPECT_EQ(first.serial, 41);
    // A run that failed or was killed leaves its number used.
    EXPECT_EQ(history.ReserveSerial(12, std::nullopt, false, {}, {}).serial, 42);
    const auto passportOf43 = [](int32_t n) { return n == 43; };
    EXPECT_EQ(history.ReserveSerial(12, std::nullopt, false, passportOf43, {}).serial, 44) << "its passport exists";

    ASSERT_EQ(history.Record(Row(12, 42, kOperationProduction, 15)), std::nullopt);  // closes 42's reservation
    const std::pair<int32_t, const char*> used[] = {
        {40, "уже записан в прибор"}, {41, "выпуск не завершен"}, {42, "ошибкой, код 15"}, {43, "Паспорт прибора"}};
    for (const auto& [number, why] : used) {
        const SerialReservation again = history.ReserveSerial(12, number, false, passportOf43, {});
        EXPECT_EQ(again.outcome, Outcome::Used) << number;
        EXPECT_NE(again.message.text.find("012-000" + std::to_string(number)), std::string::npos) << again.message.text;
        EXPECT_NE(again.message.text.find(why), std::string::npos) << again.message.text;
    }
    EXPECT_EQ(history.ReserveSerial(12, 41, true, {}, {}).outcome, Outcome::Reserved) << "--reuse";
    EXPECT_EQ(history.ReserveSerial(13, 41, false, {}, {}).outcome, Outcome::Reserved) << "another type code";

    EXPECT_EQ(history.ReserveSerial(12, kLastSerial, false, {}, {}).outcome, Outcome::Reserved);
    EXPECT_EQ(history.ReserveSerial(12, std::nullopt, false, {}, {}).outcome, Outcome::RangeEnd) << "no wrap";
    EXPECT_EQ(history.PeekNextSerial(12).outcome, Outcome::RangeEnd);

    std::vector<HistoryRecord> rows;
    ASSERT_EQ(history.Query({.serial = 41, .typeCode = 12}, rows), std::nullopt);
    ASSERT_EQ(rows.size(), 2u) << "each reservation is a row of its own";
    EXPECT_EQ(rows[0].operation, kOperationReservation);
    EXPECT_EQ(rows[1].operation, kOperationReservation);
}

// Runs `body` in a child process as the user "nobody" when the test runs as root, who writes
// whatever the permissions say; true when the body returned true.
bool AsUnprivilegedUser(const std::function<bool()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            if (!nobody || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
                _exit(2);
        }
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The history's own files refused by the system come up with the step and the errno of that
// refusal, for the window and pmvctl to put into words, never as the system's English text.
TEST(History, ItsFilesRefusedByTheSystemComeUpWithTheStepAndTheErrno)
{
    test::TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    // Write bits for the group only: the owner and the others may not write into it.
    std::filesystem::create_directory(dir.path() / "shut");
    std::filesystem::permissions(dir.path() / "shut", static_cast<std::filesystem::perms>(0575));
    const std::string fresh = dir.file("shut/history.sqlite");
    EXPECT_TRUE(AsUnprivilegedUser([&] {
        const auto failure = SqliteHistory(fresh).Record(Row(1, 1, kOperationWrite));
        return failure && failure->text.empty() && failure->step == HistoryFileStep::Create &&
               failure->file == ini::FileError{ini::FileOperation::CreateFile, fresh, EACCES};
    })) << "a new history in a folder the user may not write into";

    std::filesystem::create_directory(dir.path() / "damaged");
    const std::string damaged = dir.file("damaged/history.sqlite");
    test::WriteFileBytes(damaged, std::string(8192, '\x5A'));
    std::filesystem::permissions(dir.path() / "damaged", static_cast<std::filesystem::perms>(0575));
    EXPECT_TRUE(AsUnprivilegedUser([&] {
        SqliteHistory history(damaged);
        const auto failure = history.StartNew();
        return history.Record(Row(1, 1, kOperationWrite)) && failure && failure->step == HistoryFileStep::StartNew &&
               failure->file == ini::FileError{ini::FileOperation::CreateFile, damaged + ".lock", EACCES};
    })) << "a damaged history whose turn to begin anew cannot be taken";
    EXPECT_EQ(test::ReadFileBytes(damaged), std::string(8192, '\x5A'));
}

// A file made by another program through SQLite, in its own journal mode.
void MakeForeignDatabase(const std::string& path, const char* statement)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
        db.setDatabaseName(QString::fromStdString(path));
        EXPECT_TRUE(db.open());
        EXPECT_TRUE(QSqlQuery(db).exec(QString::fromUtf8(statement)));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
}

TEST(History, AHistoryThatCannotBeUsedRefusesAReservationAndIsLeftAsItIs)
{
    using Outcome = SerialReservation::Outcome;
    test::TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    struct Case {
        const char* what;
        std::function<std::string()> arrange;  // returns the history's path
        const char* why;
    };
    const std::vector<Case> cases{
        {"a folder of that name",
         [&] {
             std::filesystem::create_directories(dir.path() / "folder" / kHistoryFileName);
             return (dir.path() / "folder" / kHistoryFileName).string();
         },
         "Не удается"},
        {"a records table of another program",
         [&] {
             MakeForeignDatabase(dir.file("foreign.sqlite"), "CREATE TABLE records (id INTEGER, name TEXT)");
             return dir.file("foreign.sqlite");
         },
         "таблица records другого вида"},
        {"a database of another program",
         [&] {
             MakeForeignDatabase(dir.file("notes.sqlite"), "CREATE TABLE notes (text TEXT)");
             return dir.file("notes.sqlite");
         },
         "нет таблицы records"},
        {"an empty file",
         [&] {
             test::WriteFileBytes(dir.file("empty.sqlite"), "");
             return dir.file("empty.sqlite");
         },
         "нет таблицы records"},
        {"a read-only file",
         [&] {
             const std::string path = dir.file("readonly.sqlite");
             EXPECT_EQ(SqliteHistory(path).Record(Row(1, 1, kOperationWrite)), std::nullopt);
             std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                                    std::filesystem::perms::group_read |
                                                    std::filesystem::perms::others_read);
             return path;
         },
         "readonly.sqlite"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = c.arrange();
        const std::string before = test::ReadFileBytes(path);
        EXPECT_TRUE(AsUnprivilegedUser([&] {
            SqliteHistory history(path);
            const SerialReservation refused = history.ReserveSerial(12, std::nullopt, false, {}, {});
            return refused.outcome == Outcome::HistoryFailed && refused.message.text.find(path) != std::string::npos &&
                   refused.message.text.find(c.why) != std::string::npos &&
                   history.PeekNextSerial(12).outcome != Outcome::Reserved &&
                   history.Record(Row(12, 1, kOperationSerial));
        }));
        EXPECT_EQ(test::ReadFileBytes(path), before) << "looked at, never changed";
        EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
    }
}

// Two stations that find one corrupt history and both begin a new one: the first sets the file
// aside, the second keeps the first one's new history; every file set aside keeps its bytes, its
// -wal goes with it, and the two reservations of a round are two numbers of one history.
TEST(History, TwoStationsBeginningANewHistoryTogetherLoseNoFileAndGiveNoNumberTwice)
{
    test::TempDir dir;
    const std::string path = dir.file(kHistoryFileName);
    constexpr int kRounds = 25;
    std::set<char> junks;  // each round's file: 8192 times its own letter
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(path + suffix);
        const std::string junk(8192, static_cast<char>('A' + round));
        test::WriteFileBytes(path, junk);
        if (round % 2)
            test::WriteFileBytes(path + "-wal", "wal of " + junk);
        junks.insert(junk[0]);

        int go[2], numbers[2];
        ASSERT_EQ(pipe(go), 0);
        ASSERT_EQ(pipe(numbers), 0);
        pid_t stations[2];
        for (pid_t& station : stations) {
            station = fork();
            ASSERT_GE(station, 0);
            if (station == 0) {
                close(go[1]);
                char start;
                if (read(go[0], &start, 1) != 1)
                    _exit(1);
                SqliteHistory history(path);
                SerialReservation r = history.ReserveSerial(12, std::nullopt, false, {}, {});
                if (r.outcome == SerialReservation::Outcome::HistoryCorrupt && !history.StartNew())
                    r = history.ReserveSerial(12, std::nullopt, false, {}, {});
                const int32_t number = r.outcome == SerialReservation::Outcome::Reserved ? r.serial : -1;
                _exit(write(numbers[1], &number, sizeof number) == sizeof number ? 0 : 1);
            }
        }
        close(go[0]);
        close(numbers[1]);
        ASSERT_EQ(write(go[1], "gg", 2), 2);
        close(go[1]);
        std::set<int32_t> given;
        for (int32_t n; read(numbers[0], &n, sizeof n) == sizeof n;)
            given.insert(n);
        close(numbers[0]);
        for (pid_t station : stations)
            waitpid(station, nullptr, 0);
        EXPECT_EQ(given, (std::set<int32_t>{1, 2})) << "both numbers from one new history";

        std::set<char> kept;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().string();
            if (name.find(".corrupt-") == std::string::npos || name.ends_with("-shm"))
                continue;
            const std::string bytes = test::ReadFileBytes(name);
            if (name.ends_with("-wal"))
                EXPECT_EQ(test::ReadFileBytes(name.substr(0, name.size() - 4)), bytes.substr(7)) << "its own -wal";
            else
                kept.insert(bytes == std::string(8192, bytes.front()) ? bytes.front() : '?');
        }
        EXPECT_EQ(kept, junks) << "every corrupt file set aside, none overwritten";
    }
}

TEST_P(Stores, AHistoryHeldByAnotherProgramRefusesWithinSeconds)
{
    const std::unique_ptr<History> store = Open();
    History& history = *store;
    ASSERT_EQ(history.Record(Row(12, 1, kOperationWrite)), std::nullopt);
    QSqlDatabase holder = Holder();

    const auto start = std::chrono::steady_clock::now();
    const SerialReservation refused = history.ReserveSerial(12, std::nullopt, false, {}, {});
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(refused.outcome, SerialReservation::Outcome::HistoryFailed);
    EXPECT_GE(waited, std::chrono::seconds(4)) << "another station's transaction is waited for";
    EXPECT_LT(waited, std::chrono::seconds(9)) << "a busy history is a failure, not a hang";
    EXPECT_TRUE(history.Record(Row(12, 1, kOperationWrite)));

    QSqlQuery(holder).exec(QStringLiteral("ROLLBACK"));
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    EXPECT_EQ(history.ReserveSerial(12, std::nullopt, false, {}, {}).serial, 1) << "free again";
}

TEST_P(Stores, AKillInTheMiddleOfARecordKeepsEveryCommittedRow)
{
    int pipe_[2];
    ASSERT_EQ(pipe(pipe_), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipe_[0]);
        const std::unique_ptr<History> history = Open();
        for (int32_t n = 1;; ++n) {
            if (history->Record(Row(3, n, kOperationWrite)))
                _exit(1);
            if (write(pipe_[1], &n, sizeof n) != sizeof n)
                _exit(1);
        }
    }
    close(pipe_[1]);
    int32_t committed = 0;
    for (int32_t n; committed < 40 && read(pipe_[0], &n, sizeof n) == sizeof n;)
        committed = n;
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(pipe_[0]);
    ASSERT_EQ(committed, 40);

    const std::unique_ptr<History> history = Open();
    std::vector<HistoryRecord> rows;
    ASSERT_EQ(history->Query({.typeCode = 3}, rows), std::nullopt);
    EXPECT_EQ(history->TakeNotice(), std::nullopt) << "the history is sound";
    ASSERT_GE(rows.size(), static_cast<size_t>(committed));
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].serial, static_cast<int32_t>(i + 1));
}

TEST(ServerAddresses, AnAddressIsReadAsLibpqReadsItAndNeverHoldsAPassword)
{
    std::string problem;
    const auto full = ParseServerAddress(
        "postgresql://pmv%40plant@factory-db:5433/pmv%20hist?sslmode=require&connect_timeout=2", problem);
    ASSERT_TRUE(full) << problem;
    EXPECT_EQ(full->user, "pmv@plant");
    EXPECT_EQ(full->host, "factory-db");
    EXPECT_EQ(full->port, 5433);
    EXPECT_EQ(full->database, "pmv hist");
    EXPECT_EQ(full->options,
              (std::vector<std::pair<std::string, std::string>>{{"sslmode", "require"}, {"connect_timeout", "2"}}));
    const auto bare = ParseServerAddress("postgres://[::1]/pmv", problem);
    ASSERT_TRUE(bare) << problem;
    EXPECT_EQ(bare->host, "::1");
    EXPECT_EQ(bare->port, 0);
    const auto socket = ParseServerAddress("postgresql:///pmv?host=/var/run/postgresql", problem);
    ASSERT_TRUE(socket) << problem;
    EXPECT_EQ(socket->host, "/var/run/postgresql");
    EXPECT_EQ(socket->ShownPort() > 0, true);

    for (const char* refused :
         {"postgresql://pmv:secret@db/pmv", "postgresql://db/pmv?password=secret", "mysql://db/pmv", "history.sqlite",
          "postgresql://db:0/pmv", "postgresql://db:99999/pmv", "postgresql://db:5x/pmv", "postgresql://db/p%zzv",
          "postgresql://a,b/pmv", "postgresql://db/pmv?sslmode", "postgresql://db/pmv?a=b;c"}) {
        problem.clear();
        EXPECT_FALSE(ParseServerAddress(refused, problem)) << refused;
        EXPECT_FALSE(problem.empty()) << refused;
    }
    problem.clear();
    ParseServerAddress("postgresql://pmv:secret@db/pmv", problem);
    EXPECT_NE(problem.find("~/.pgpass"), std::string::npos) << problem;
}

class ServerHistory : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(server_.failure(), "");
        database_ = server_.CreateDatabase();
        ASSERT_FALSE(database_.empty()) << server_.failure();
    }

    std::vector<std::string> FindingIds(History& history)
    {
        std::vector<std::string> ids;
        for (const HistoryFinding& f : history.Check())
            ids.push_back(f.id + (f.ok ? "" : " !"));
        return ids;
    }

    test::PostgresServer server_;
    std::string database_;
};

// Each way a server fails a station: the reservation is refused with the reason and the address,
// nothing is made or changed on it, and the check says which step failed.
TEST_F(ServerHistory, AServerThatCannotServeRefusesWithItsReasonAndTheCheckNamesTheStep)
{
    using Outcome = SerialReservation::Outcome;
    const std::string foreign = server_.CreateDatabase(), newer = server_.CreateDatabase();
    ASSERT_TRUE(server_.Sql(foreign, "CREATE TABLE records (id integer, name text)"));
    {
        PostgresHistory made(server_.Url(newer));
        ASSERT_EQ(made.Record(Row(1, 1, kOperationWrite)), std::nullopt);
    }
    ASSERT_TRUE(server_.Sql(newer, "UPDATE schema_version SET version = 2"));
    // A server that takes the connection and never answers.
    const int silentPort = test::FreePort();
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(silentPort));
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(silent, 8), 0);

    struct Case {
        std::string address;
        const char* why;
        std::vector<std::string> ids;
    };
    const std::string port = std::to_string(server_.port());
    const std::vector<Case> cases{
        {"postgresql://pmv@127.0.0.1:" + std::to_string(test::FreePort()) + "/pmv",
         "Не удается подключиться",
         {"history_server", "history_server_unreachable !"}},
        {"postgresql://pmv@127.0.0.1:" + std::to_string(silentPort) + "/pmv?connect_timeout=2",
         "timeout",
         {"history_server", "history_server_reachable", "history_login_refused !"}},
        {server_.Url(database_, "stranger"),
         "stranger",
         {"history_server", "history_server_reachable", "history_login_refused !"}},
        {server_.Url("no_such_database"),
         "no_such_database",
         {"history_server", "history_server_reachable", "history_login_refused !"}},
        {server_.Url(foreign),
         "таблица records другого вида",
         {"history_server", "history_server_reachable", "history_login", "history_schema_foreign !"}},
        {server_.Url(newer),
         "более новая версия программы (схема 2",
         {"history_server", "history_server_reachable", "history_login", "history_schema_newer !"}},
        {"postgresql://pmv@127.0.0.1:" + port + "/" + database_ + "?sslmode=bogus",
         "sslmode",
         {"history_server", "history_server_reachable", "history_login_refused !"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        PostgresHistory history(c.address);
        const auto start = std::chrono::steady_clock::now();
        const SerialReservation refused = history.ReserveSerial(12, std::nullopt, false, {}, {});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8)) << "refused within seconds";
        EXPECT_EQ(refused.outcome, Outcome::HistoryFailed);
        EXPECT_NE(refused.message.text.find(c.address), std::string::npos) << refused.message.text;
        EXPECT_NE(refused.message.text.find(c.why), std::string::npos) << refused.message.text;
        EXPECT_TRUE(history.Record(Row(12, 1, kOperationWrite)));
        EXPECT_EQ(FindingIds(history), c.ids);
    }
    close(silent);
    EXPECT_EQ(
        server_.Sql(foreign,
                    "SELECT string_agg(tablename, ',' ORDER BY tablename) FROM pg_tables WHERE schemaname = 'public'"),
        "records\n")
        << "another program's database is left as it is";
    EXPECT_EQ(server_.Sql(newer, "SELECT version FROM schema_version"), "2\n");

    // The database given to the history: the check makes nothing, the first row makes the tables.
    PostgresHistory history(server_.Url(database_));
    EXPECT_EQ(FindingIds(history), (std::vector<std::string>{"history_server", "history_server_reachable",
                                                             "history_login", "history_schema_empty"}));
    EXPECT_EQ(server_.Sql(database_, "SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"), "0\n");
    ASSERT_EQ(history.Record(Row(12, 1, kOperationWrite)), std::nullopt);
    EXPECT_EQ(FindingIds(history), (std::vector<std::string>{"history_server", "history_server_reachable",
                                                             "history_login", "history_schema"}));
    EXPECT_EQ(server_.Sql(database_, "SELECT version FROM schema_version"), "1\n");
}

// Stations that begin together on an empty database: one makes the tables, none fails for it,
// and their first numbers are 1 to 4.
TEST_F(ServerHistory, StationsStartingTogetherOnAnEmptyDatabaseMakeItsTablesOnce)
{
    constexpr int kStations = 4;
    int go[2], numbers[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(numbers), 0);
    std::vector<pid_t> stations;
    for (int i = 0; i < kStations; ++i) {
        const pid_t station = fork();
        ASSERT_GE(station, 0);
        if (station == 0) {
            close(go[1]);
            char start;
            if (read(go[0], &start, 1) != 1)
                _exit(1);
            PostgresHistory history(server_.Url(database_));
            const SerialReservation r = history.ReserveSerial(12, std::nullopt, false, {}, {});
            const int32_t number = r.outcome == SerialReservation::Outcome::Reserved ? r.serial : -1;
            _exit(write(numbers[1], &number, sizeof number) == sizeof number ? 0 : 1);
        }
        stations.push_back(station);
    }
    close(go[0]);
    close(numbers[1]);
    ASSERT_EQ(write(go[1], "gggg", kStations), kStations);
    close(go[1]);
    std::set<int32_t> given;
    for (int32_t n; read(numbers[0], &n, sizeof n) == sizeof n;)
        given.insert(n);
    close(numbers[0]);
    for (pid_t station : stations)
        waitpid(station, nullptr, 0);
    EXPECT_EQ(given, (std::set<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(server_.Sql(database_, "SELECT count(*) FROM schema_version"), "1\n");
}

// A connection the server drops, or a server that goes down and comes back: the call that meets
// it fails with the reason, the next one connects again, and no number comes twice.
TEST_F(ServerHistory, ALostConnectionFailsTheCallThatMeetsItAndTheNextConnectsAgain)
{
    PostgresHistory history(server_.Url(database_));
    ASSERT_EQ(history.ReserveSerial(12, std::nullopt, false, {}, {}).serial, 1);
    ASSERT_TRUE(server_.Sql(database_, "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" +
                                           database_ + "' AND pid <> pg_backend_pid()"));
    const auto cut = history.Record(Row(12, 1, kOperationWrite));
    ASSERT_TRUE(cut);
    EXPECT_NE(cut->text.find("Не удается записать журнал приборов " + server_.Url(database_)), std::string::npos)
        << cut->text;
    EXPECT_EQ(history.Record(Row(12, 1, kOperationWrite)), std::nullopt);
    EXPECT_EQ(history.ReserveSerial(12, std::nullopt, false, {}, {}).serial, 2);

    ASSERT_TRUE(server_.Kill()) << server_.failure();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(history.ReserveSerial(12, std::nullopt, false, {}, {}).outcome,
              SerialReservation::Outcome::HistoryFailed);
    EXPECT_EQ(history.ReserveSerial(12, std::nullopt, false, {}, {}).outcome,
              SerialReservation::Outcome::HistoryFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3))
        << "a server that is down refuses at once";
    ASSERT_TRUE(server_.Start()) << server_.failure();
    EXPECT_EQ(history.ReserveSerial(12, std::nullopt, false, {}, {}).serial, 3);
    std::vector<HistoryRecord> rows;
    ASSERT_EQ(history.Query({.typeCode = 12}, rows), std::nullopt);
    EXPECT_EQ(rows.size(), 4u);
}

// A station's file moves into the server: its rows and numbers once, however often it is moved;
// a number the server had given already stays as the server has it and is named.
TEST_F(ServerHistory, AStationsFileMovesInOnceAndANumberGivenOnBothSidesStaysAsTheServerHasIt)
{
    test::TempDir dir;
    const std::string file = dir.file(kHistoryFileName);
    {
        SqliteHistory station(file);
        for (int32_t n : {1, 2, 3})
            ASSERT_EQ(station.ReserveSerial(12, n, false, {}, {}).outcome, SerialReservation::Outcome::Reserved);
        ASSERT_EQ(station.Record(Row(12, 1, kOperationProduction)), std::nullopt);
        ASSERT_EQ(station.Record(Row(12, 9, kOperationSerial)), std::nullopt);
    }
    PostgresHistory server(server_.Url(database_));
    HistoryRecord other;
    other.operatorName = "other-station";
    ASSERT_EQ(server.ReserveSerial(12, 2, false, {}, other).outcome, SerialReservation::Outcome::Reserved);

    ImportReport report;
    ASSERT_EQ(server.Import(file, report), std::nullopt);
    EXPECT_EQ(report.records, 5) << "three reservations, an outcome and a number written by hand";
    EXPECT_EQ(report.serials, 2);
    ASSERT_EQ(report.conflicts.size(), 1u);
    EXPECT_NE(report.conflicts[0].find("012-00002"), std::string::npos) << report.conflicts[0];
    EXPECT_NE(report.conflicts[0].find("other-station"), std::string::npos) << report.conflicts[0];
    EXPECT_EQ(server_.Sql(database_, "SELECT operator, outcome IS NULL FROM serials WHERE serial = 2"),
              "other-station|t\n");
    EXPECT_EQ(server_.Sql(database_, "SELECT outcome FROM serials WHERE serial = 1"), "0\n")
        << "the outcome came along";
    const std::optional<SerialReservation> written = server.CheckSerial(12, 9);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->outcome, SerialReservation::Outcome::Used);
    EXPECT_EQ(server.ReserveSerial(12, std::nullopt, false, {}, {}).serial, 10);

    ASSERT_EQ(server.Import(file, report), std::nullopt);
    EXPECT_EQ(report.records, 0);
    EXPECT_EQ(report.recordsKept, 5);
    EXPECT_EQ(report.serials, 0);

    EXPECT_TRUE(server.Import(dir.file("missing.sqlite"), report));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.sqlite"))) << "never made";
    SqliteHistory station(file);
    EXPECT_TRUE(station.Import(file, report)) << "a file moves into a server only";
}

// The history command, production and the history window each read "TYPE-SERIAL" by rules of
// their own: "010" as octal, "1-2-3" as serial 3, a type code of 300 or a sign let through.
TEST(InstrumentNumbers, TypedNumbersAreReadAsPrintedAndAnythingElseIsRefused)
{
    const auto parsed = [](const char* text, LoneNumber lone = LoneNumber::Serial) {
        const auto id = ParseInstrumentNumber(text, lone);
        return id ? std::pair{id->typeCode.value_or(-1), id->serial.value_or(-1)} : std::pair{-2, -2};
    };
    EXPECT_EQ(parsed("012-00345"), std::pair(12, 345));
    EXPECT_EQ(parsed("12-345"), std::pair(12, 345));
    EXPECT_EQ(parsed("010-010"), std::pair(10, 10)) << "leading zeros are decimal";
    EXPECT_EQ(parsed("0000012-0000345"), std::pair(12, 345));
    EXPECT_EQ(parsed(InstrumentNumber(255, kLastSerial).c_str()), std::pair(255, kLastSerial));
    EXPECT_EQ(parsed("000-00000"), std::pair(0, 0));

    // Without a dash the one number is the part the caller takes alone.
    EXPECT_EQ(parsed("345"), std::pair(-1, 345));
    EXPECT_EQ(parsed("65535"), std::pair(-1, 65535));
    EXPECT_EQ(parsed("12", LoneNumber::TypeCode), std::pair(12, -1));
    EXPECT_EQ(parsed("300", LoneNumber::TypeCode), std::pair(-2, -2)) << "300 is no type code";
    EXPECT_EQ(parsed("300"), std::pair(-1, 300));

    for (const char* refused : {"",        "-",        "12-",     "-345",          "12--345",      "1-2-3",
                                "256-1",   "12-65536", "65536",   "99999999999-1", "1-4294967297", "+12-345",
                                "12-+345", "-12",      "0x10-5",  "$10-5",         "12-0x5",       "12-345x",
                                "12-3.5",  " 12-345",  "12-345 ", "12 -345",       "К12-345"})
        EXPECT_EQ(parsed(refused), std::pair(-2, -2)) << '"' << refused << '"';

    EXPECT_EQ(ParseTypeCode("255"), 255);
    EXPECT_EQ(ParseTypeCode("256"), std::nullopt);
    EXPECT_EQ(ParseSerialNumber("065535"), kLastSerial);
    EXPECT_EQ(ParseSerialNumber("65536"), std::nullopt);
    EXPECT_EQ(ParseSerialNumber("12-345"), std::nullopt) << "a part alone has no dash";
}

}  // namespace
}  // namespace pmv::history
