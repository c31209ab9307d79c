#include "temp_dir.h"

#include "history/sqlite_history.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace pmv::history {
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

TEST(History, RecordsAreListedFilteredAndExported)
{
    test::TempDir dir;
    SqliteHistory history(dir.file(kHistoryFileName));
    ASSERT_EQ(history.PeekNextSerial(12).serial, 1);
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

    // A second program on the same file sees every committed row.
    SqliteHistory other(dir.file(kHistoryFileName));
    ASSERT_EQ(other.Query({}, rows), std::nullopt);
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
    EXPECT_NE(failure->find("поврежден"), std::string::npos) << *failure;
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

    SqliteHistory nowhere(dir.file("no-such-folder/history.sqlite"));
    const auto unwritable = nowhere.Record(Row(1, 1, kOperationWrite));
    ASSERT_TRUE(unwritable);
    EXPECT_NE(unwritable->find("no-such-folder"), std::string::npos);
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
    EXPECT_NE(failure->find("поврежден"), std::string::npos) << *failure;
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

TEST(History, ReservedNumbersAreNeverGivenTwice)
{
    using Outcome = SerialReservation::Outcome;
    test::TempDir dir;
    SqliteHistory history(dir.file(kHistoryFileName));
    ASSERT_EQ(history.Record(Row(12, 40, kOperationSerial)), std::nullopt);  // written by hand from the window

    const SerialReservation first = history.ReserveSerial(12, std::nullopt, false, {}, {});
    ASSERT_EQ(first.outcome, Outcome::Reserved) << first.message;
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
        EXPECT_NE(again.message.find("012-000" + std::to_string(number)), std::string::npos) << again.message;
        EXPECT_NE(again.message.find(why), std::string::npos) << again.message;
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
             std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
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
            return refused.outcome == Outcome::HistoryFailed && refused.message.find(path) != std::string::npos &&
                   refused.message.find(c.why) != std::string::npos &&
                   history.PeekNextSerial(12).outcome != Outcome::Reserved && history.Record(Row(12, 1, kOperationSerial));
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

TEST(History, AHistoryHeldByAnotherProgramRefusesWithinSeconds)
{
    test::TempDir dir;
    const std::string path = dir.file(kHistoryFileName);
    SqliteHistory history(path);
    ASSERT_EQ(history.Record(Row(12, 1, kOperationWrite)), std::nullopt);
    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
    holder.setDatabaseName(QString::fromStdString(path));
    ASSERT_TRUE(holder.open());
    ASSERT_TRUE(QSqlQuery(holder).exec(QStringLiteral("BEGIN EXCLUSIVE")));

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

TEST(History, AKillInTheMiddleOfARecordKeepsEveryCommittedRow)
{
    test::TempDir dir;
    const std::string path = dir.file(kHistoryFileName);
    int pipe_[2];
    ASSERT_EQ(pipe(pipe_), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipe_[0]);
        SqliteHistory history(path);
        for (int32_t n = 1;; ++n) {
            if (history.Record(Row(3, n, kOperationWrite)))
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

    SqliteHistory history(path);
    std::vector<HistoryRecord> rows;
    ASSERT_EQ(history.Query({.typeCode = 3}, rows), std::nullopt);
    EXPECT_EQ(history.TakeNotice(), std::nullopt) << "the file is sound";
    ASSERT_GE(rows.size(), static_cast<size_t>(committed));
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].serial, static_cast<int32_t>(i + 1));
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

    for (const char* refused : {"", "-", "12-", "-345", "12--345", "1-2-3", "256-1", "12-65536", "65536",
                                "99999999999-1", "1-4294967297", "+12-345", "12-+345", "-12", "0x10-5", "$10-5",
                                "12-0x5", "12-345x", "12-3.5", " 12-345", "12-345 ", "12 -345", "К12-345"})
        EXPECT_EQ(parsed(refused), std::pair(-2, -2)) << '"' << refused << '"';

    EXPECT_EQ(ParseTypeCode("255"), 255);
    EXPECT_EQ(ParseTypeCode("256"), std::nullopt);
    EXPECT_EQ(ParseSerialNumber("065535"), kLastSerial);
    EXPECT_EQ(ParseSerialNumber("65536"), std::nullopt);
    EXPECT_EQ(ParseSerialNumber("12-345"), std::nullopt) << "a part alone has no dash";
}

}  // namespace
}  // namespace pmv::history
