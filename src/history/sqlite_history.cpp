#include "history/sqlite_history.h"

#include "history/store_texts.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/file.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace pmv::history {
namespace {

// SQLite's result codes for a file that is not a sound database.
constexpr const char* kCorruptCodes[] = {"11", "26"};  // SQLITE_CORRUPT, SQLITE_NOTADB

constexpr const char* kCreateRecords =
    "CREATE TABLE IF NOT EXISTS records ("
    "id INTEGER PRIMARY KEY, time TEXT NOT NULL, operator TEXT, serial INTEGER, type_code INTEGER, "
    "device_type INTEGER, firmware TEXT, operation TEXT, profile TEXT, profile_sha256 TEXT, groups TEXT, "
    "result INTEGER, details TEXT)";

// One row per production number: the UNIQUE constraint is what keeps two stations from one number.
// `outcome` stays NULL until the production ends (a killed run leaves it so: the number stays used).
constexpr const char* kCreateSerials =
    "CREATE TABLE IF NOT EXISTS serials ("
    "type_code INTEGER NOT NULL, serial INTEGER NOT NULL, reserved TEXT NOT NULL, operator TEXT, profile TEXT, "
    "outcome INTEGER, UNIQUE (type_code, serial))";

constexpr const char* kColumns =
    "time, operator, serial, type_code, device_type, firmware, operation, profile, profile_sha256, groups, result, "
    "details";

struct TableShape {
    const char* table;
    const char* columns;
    const char* create;
};
constexpr TableShape kTables[] = {
    {"records",
     "id,time,operator,serial,type_code,device_type,firmware,operation,profile,profile_sha256,groups,result,details",
     kCreateRecords},
    {"serials", "type_code,serial,reserved,operator,profile,outcome", kCreateSerials},
};

// A wait on another program's transaction longer than this is a failure, not a frozen window.
constexpr int kRowBusyMs = 1000;
// A reservation waits longer: another station's rows take moments, but a refusal stops a line.
constexpr int kReservationBusyMs = 5000;

QString Q(const std::string& text) { return QString::fromStdString(text); }

bool IsCorrupt(const QSqlError& error)
{
    const std::string code = error.nativeErrorCode().toStdString();
    for (const char* c : kCorruptCodes)
        if (code == c)
            return true;
    return false;
}

// SQLITE_BUSY or SQLITE_LOCKED, with any extended code.
bool IsBusy(const QSqlError& error)
{
    const int primary = error.nativeErrorCode().toInt() & 0xFF;
    return primary == 5 || primary == 6;
}

std::string Failure(const std::string& path, const QSqlError& error)
{
    return WriteFailure(path, error.text().toStdString());
}

std::string ReadFailure(const std::string& path, const QSqlError& error)
{
    return history::ReadFailure(path, error.text().toStdString());
}

void SetBusyWait(const QSqlDatabase& db, int ms)
{
    QSqlQuery(db).exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(ms));
}

// The columns of a table as "a,b,c"; empty when it cannot be read or does not exist.
std::string ColumnsOf(QSqlDatabase& db, const char* table)
{
    QSqlQuery info(db);
    std::string columns;
    if (!info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QString::fromUtf8(table))))
        return {};
    while (info.next())
        columns += (columns.empty() ? "" : ",") + info.value(1).toString().toStdString();
    return columns;
}

// The bytes of a path as an SQLite URI names them, so that a name that is not UTF-8 still names
// its own file, and the mode decides: "ro" never writes, "rw" never creates.
QString FileUri(const std::string& path, const char* mode)
{
    std::string uri = path.starts_with('/') ? "file://" : "file:";
    constexpr char kHex[] = "0123456789ABCDEF";
    for (const unsigned char c : path)
        if (std::isalnum(c) || std::strchr("/._-~", c))
            uri += static_cast<char>(c);
        else
            uri += {'%', kHex[c >> 4], kHex[c & 15]};
    return QString::fromLatin1(uri + "?mode=" + mode);
}

QSqlDatabase Connection(const QString& name, const std::string& path, const char* mode, int busyMs)
{
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(FileUri(path, mode));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyMs) +
                         (std::string_view(mode) == "ro" ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    return db;
}

// Moves a file to a name no file has; 0, or the errno of the failure (EEXIST when the name is
// taken). Without renameat2 on the file system: a link, which never replaces either.
int PlaceNoReplace(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (link(from.c_str(), to.c_str()) != 0)
        return errno;
    unlink(from.c_str());
    return 0;
}

// An exclusive flock of a file beside the history, waited for as long as a reservation would
// wait; released when the program ends, also by a kill.
class StationLock {
public:
    explicit StationLock(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CLOEXEC))
    {
        // A lock file that is there and refuses is the file's refusal; one that cannot be made, the folder's.
        ini::FileOperation step = ini::FileOperation::Write;
        if (fd_ < 0 && errno == ENOENT) {
            step = ini::FileOperation::CreateFile;
            fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        }
        if (fd_ < 0) {
            refused_ = ini::FileError{step, path, errno};
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReservationBusyMs);
        while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) {
                refused_ = ini::FileError{ini::FileOperation::Write, path, errno};
                return;
            }
            if (std::chrono::steady_clock::now() > deadline)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        held_ = true;
    }
    ~StationLock()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    StationLock(const StationLock&) = delete;
    StationLock& operator=(const StationLock&) = delete;

    bool held() const { return held_; }
    // Why the lock is not held when the system refused its file; nothing when another station
    // kept it too long.
    const std::optional<ini::FileError>& refused() const { return refused_; }

private:
    int fd_;
    bool held_ = false;
    std::optional<ini::FileError> refused_;
};

}  // namespace

SqliteHistory::SqliteHistory(std::string path) : path_(std::move(path))
{
    static std::atomic<int> instances{0};
    connection_ = "pmv-history-" + std::to_string(++instances);
}

SqliteHistory::~SqliteHistory()
{
    Settle();
    if (!QSqlDatabase::contains(Q(connection_)))
        return;
    QSqlDatabase::database(Q(connection_), false).close();
    QSqlDatabase::removeDatabase(Q(connection_));
}

void SqliteHistory::OpenAside()
{
    if (open_ || aside_.valid())
        return;
    // A connection serves only the thread that made it: the check runs on one of its own, and
    // the caller's connection then only opens the file.
    try {
        aside_ = std::async(std::launch::async, [this] {
            const QString name = Q(connection_ + "-aside");
            checkedAside_ = !OpenUntilNotBusy(name, false);
            if (!QSqlDatabase::contains(name))
                return;
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        });
    } catch (const std::system_error&) {
        // Without a thread the file is opened and checked by the next call, as it always was.
    }
}

void SqliteHistory::Settle()
{
    if (aside_.valid())
        aside_.get();
}

std::optional<HistoryError> SqliteHistory::Open()
{
    Settle();
    if (open_)
        return std::nullopt;
    auto failure = OpenUntilNotBusy(Q(connection_), std::exchange(checkedAside_, false));
    open_ = !failure;
    return failure;
}

std::optional<HistoryError> SqliteHistory::OpenUntilNotBusy(const QString& connection, bool checked)
{
    // A new file turned into WAL by two stations at once, or a check beside another's write, may
    // find the file busy without waiting: tried again for as long as a row would wait.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRowBusyMs);
    for (;;) {
        busy_ = false;
        auto failure = OpenOnce(connection, checked);
        if (!failure || !busy_ || std::chrono::steady_clock::now() > deadline)
            return failure;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::optional<HistoryError> SqliteHistory::OpenOnce(const QString& connection, bool checked)
{
    corrupt_ = false;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return "Не удается открыть журнал приборов " + path_ +
               ": нет драйвера SQLite библиотеки Qt (пакет libqt6sql6-sqlite)";
    if (!checked)
        if (auto failure = Look(connection))
            return failure;
    QSqlDatabase db = Connection(connection, path_, "rw", kRowBusyMs);
    if (!db.open()) {
        // Set aside by another station since it was looked at: looked at again.
        busy_ = !std::filesystem::exists(path_);
        return "Не удается открыть журнал приборов " + path_ + ": " + db.lastError().text().toStdString();
    }
    // A kill between two records must never cost a committed one: a setting of each connection.
    // Only what is missing is written: a write needs the lock another station may hold for a while.
    QSqlQuery setup(db);
    const auto run = [&](const QString& statement) { return setup.exec(statement); };
    bool done = run(QStringLiteral("PRAGMA synchronous=FULL"));
    if (!checked) {
        done = done && run(QStringLiteral("PRAGMA journal_mode")) && setup.next();
        if (done && setup.value(0).toString() != QStringLiteral("wal"))
            done = run(QStringLiteral("PRAGMA journal_mode=WAL"));
        for (const TableShape& shape : kTables)
            if (done && ColumnsOf(db, shape.table).empty())
                done = run(QString::fromUtf8(shape.create));
    }
    if (!done) {
        busy_ = IsBusy(setup.lastError());
        const std::string failure = Failure(path_, setup.lastError());
        setup.finish();
        db.close();
        return failure;
    }
    return std::nullopt;
}

std::optional<HistoryError> SqliteHistory::Look(const QString& connection)
{
    std::error_code error;
    if (!std::filesystem::exists(path_, error) && !error)
        if (auto failure = CreateFresh(connection))
            return failure;
    const QString name = connection + QStringLiteral("-look");
    std::optional<HistoryError> failure;
    {
        QSqlDatabase db = Connection(name, path_, "ro", kRowBusyMs);
        if (!db.open()) {
            busy_ = !std::filesystem::exists(path_);
            failure = "Не удается открыть журнал приборов " + path_ + ": " + db.lastError().text().toStdString();
        } else {
            QSqlQuery check(db);
            const bool sound = check.exec(QStringLiteral("PRAGMA quick_check")) && check.next() &&
                               check.value(0).toString() == QStringLiteral("ok");
            const QSqlError checkError = check.lastError();
            check.finish();
            if (!sound) {
                busy_ = IsBusy(checkError);
                corrupt_ = checkError.type() == QSqlError::NoError || IsCorrupt(checkError);
                failure = corrupt_
                              ? "Журнал приборов " + path_ + " поврежден" +
                                    (checkError.type() == QSqlError::NoError ? std::string()
                                                                             : ": " + checkError.text().toStdString())
                              : ReadFailure(path_, checkError);
            } else if (const std::string records = ColumnsOf(db, "records"), serials = ColumnsOf(db, "serials");
                       records != kTables[0].columns || (!serials.empty() && serials != kTables[1].columns)) {
                // An empty file or a table of the same name from another program: its rows are not
                // ours to read, nor is the file ours to change. A history of an earlier version
                // lacks only the numbers' table.
                failure =
                    "Файл " + path_ + " не является журналом приборов этой программы: " +
                    (records.empty() ? std::string("в нем нет таблицы records")
                                     : std::string("таблица ") +
                                           (records != kTables[0].columns ? "records" : "serials") + " другого вида");
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return failure;
}

std::optional<HistoryError> SqliteHistory::CreateFresh(const QString& connection)
{
    std::string made = path_ + ".new-XXXXXX";
    const int fd = mkstemp(made.data());
    if (fd < 0)
        return HistoryError(HistoryFileStep::Create, path_, {ini::FileOperation::CreateFile, path_, errno});
    close(fd);
    const QString name = connection + QStringLiteral("-new");
    std::optional<HistoryError> failure;
    {
        QSqlDatabase db = Connection(name, made, "rw", kRowBusyMs);
        QSqlQuery setup(db);
        bool done = db.open() && setup.exec(QStringLiteral("PRAGMA journal_mode=WAL")) &&
                    setup.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        for (const TableShape& shape : kTables)
            done = done && setup.exec(QString::fromUtf8(shape.create));
        if (!done)
            failure =
                Failure(path_, setup.lastError().type() == QSqlError::NoError ? db.lastError() : setup.lastError());
        setup.finish();
        // The last connection's close moves the rows into the file and removes its -wal.
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure) {
        const int placed = PlaceNoReplace(made, path_);
        if (placed != 0 && placed != EEXIST)
            failure = HistoryError(HistoryFileStep::Create, path_, {ini::FileOperation::Rename, path_, placed});
    }
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(made + suffix, ignored);
    return failure;
}

std::optional<HistoryError> SqliteHistory::StartNew()
{
    Settle();
    checkedAside_ = false;
    if (QSqlDatabase::contains(Q(connection_)))
        QSqlDatabase::database(Q(connection_), false).close();
    open_ = false;
    // One station at a time: a second one that found the same file corrupt finds the first one's
    // new history here and keeps it.
    StationLock lock(path_ + ".lock");
    if (!lock.held())
        return lock.refused() ? HistoryError(HistoryFileStep::StartNew, path_, *lock.refused())
                              : HistoryError("Журнал приборов " + path_ + " не начинается заново: " + path_ +
                                             ".lock: занят другой программой");
    busy_ = false;
    const std::optional<HistoryError> look = Look(Q(connection_));
    if (!look) {
        notice_ = "Журнал приборов " + path_ + " уже начат заново другой программой; записи идут в него.";
        return Open();
    }
    if (!corrupt_)
        return look;
    // Set aside under a name no file has, never overwritten, with its -wal and -shm (the rows of
    // its last transactions): they go first, while no other history can have its own there.
    const std::string stamp =
        path_ + ".corrupt-" + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    std::string aside = stamp;
    for (int n = 2; std::filesystem::exists(aside) || std::filesystem::exists(aside + "-wal") ||
                    std::filesystem::exists(aside + "-shm");
         ++n)
        aside = stamp + "-" + std::to_string(n);
    for (const std::string suffix : {"-wal", "-shm", ""})
        if (const int moved = PlaceNoReplace(path_ + suffix, aside + suffix);
            moved != 0 && (moved != ENOENT || suffix.empty()))
            return HistoryError(HistoryFileStep::SetAside, path_, {ini::FileOperation::Rename, aside + suffix, moved});
    if (auto failure = CreateFresh(Q(connection_)))
        return failure;
    if (auto failure = Open())
        return failure;
    notice_ = "Журнал приборов " + path_ + " был поврежден и сохранен как " + aside + "; начат новый.";
    return std::nullopt;
}

std::optional<HistoryError> SqliteHistory::Begin()
{
    if (auto failure = Open())
        return failure;
    // IMMEDIATE: the write lock is taken before the first read, so what a transaction reads
    // stays true until it commits, whichever station runs beside it.
    QSqlQuery begin(QSqlDatabase::database(Q(connection_), false));
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return Failure(path_, begin.lastError());
    return std::nullopt;
}

std::optional<HistoryError> SqliteHistory::Commit()
{
    QSqlQuery commit(QSqlDatabase::database(Q(connection_), false));
    if (commit.exec(QStringLiteral("COMMIT")))
        return std::nullopt;
    const std::string failure = Failure(path_, commit.lastError());
    Rollback();
    return failure;
}

void SqliteHistory::Rollback()
{
    QSqlQuery(QSqlDatabase::database(Q(connection_), false)).exec(QStringLiteral("ROLLBACK"));
}

std::optional<std::string> SqliteHistory::TakeNotice() { return std::exchange(notice_, std::nullopt); }

std::optional<HistoryError> SqliteHistory::Insert(const HistoryRecord& r)
{
    QSqlQuery insert(QSqlDatabase::database(Q(connection_), false));
    insert.prepare(QStringLiteral("INSERT INTO records (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                       .arg(QString::fromUtf8(kColumns)));
    for (const QVariant& v :
         {QVariant(Q(r.time)), QVariant(Q(r.operatorName)), QVariant(r.serial), QVariant(r.typeCode),
          QVariant(r.deviceType), QVariant(Q(r.firmware)), QVariant(Q(r.operation)), QVariant(Q(r.profile)),
          QVariant(Q(r.profileSha256)), QVariant(Q(r.groups)), QVariant(static_cast<qlonglong>(r.result)),
          QVariant(Q(r.details))})
        insert.addBindValue(v);
    if (!insert.exec())
        return Failure(path_, insert.lastError());
    return std::nullopt;
}

std::optional<HistoryError> SqliteHistory::Record(HistoryRecord r)
{
    if (r.time.empty())
        r.time = LocalNow();
    if (r.operatorName.empty())
        r.operatorName = OperatorLogin();
    if (auto failure = Begin())
        return failure;
    auto failure = Insert(r);
    if (!failure && r.operation == kOperationProduction) {
        QSqlQuery outcome(QSqlDatabase::database(Q(connection_), false));
        outcome.prepare(QStringLiteral("UPDATE serials SET outcome = ? WHERE type_code = ? AND serial = ?"));
        outcome.addBindValue(static_cast<qlonglong>(r.result));
        outcome.addBindValue(r.typeCode);
        outcome.addBindValue(r.serial);
        if (!outcome.exec())
            failure = Failure(path_, outcome.lastError());
    }
    if (failure) {
        Rollback();
        return failure;
    }
    return Commit();
}

std::optional<HistoryError> SqliteHistory::Query(const HistoryFilter& filter, std::vector<HistoryRecord>& rows)
{
    rows.clear();
    if (auto failure = Open())
        return failure;
    QString where = QStringLiteral(" WHERE 1");
    if (filter.serial)
        where += QStringLiteral(" AND serial = :serial");
    if (filter.typeCode)
        where += QStringLiteral(" AND type_code = :type");
    if (!filter.fromDate.empty())
        where += QStringLiteral(" AND substr(time, 1, 10) >= :from");
    if (!filter.toDate.empty())
        where += QStringLiteral(" AND substr(time, 1, 10) <= :to");
    QSqlQuery query(QSqlDatabase::database(Q(connection_), false));
    query.prepare(QStringLiteral("SELECT %1 FROM records%2 ORDER BY id").arg(QString::fromUtf8(kColumns), where));
    if (filter.serial)
        query.bindValue(QStringLiteral(":serial"), *filter.serial);
    if (filter.typeCode)
        query.bindValue(QStringLiteral(":type"), *filter.typeCode);
    if (!filter.fromDate.empty())
        query.bindValue(QStringLiteral(":from"), Q(filter.fromDate));
    if (!filter.toDate.empty())
        query.bindValue(QStringLiteral(":to"), Q(filter.toDate));
    if (!query.exec())
        return "Не удается прочитать журнал приборов " + path_ + ": " + query.lastError().text().toStdString();
    while (query.next()) {
        const auto text = [&](int i) { return query.value(i).toString().toStdString(); };
        rows.push_back({text(0), text(1), query.value(2).toInt(), query.value(3).toInt(), query.value(4).toInt(),
                        text(5), text(6), text(7), text(8), text(9), query.value(10).toUInt(), text(11)});
    }
    return std::nullopt;
}

namespace {

// Every number of the type code that is reserved or was written into an instrument (also by hand,
// and also when the write failed: part of it may have reached the instrument).
constexpr const char* kUsedSerials =
    "SELECT serial FROM serials WHERE type_code = :type UNION SELECT serial FROM records "
    "WHERE type_code = :type AND operation = :serial_op";

QSqlQuery UsedQuery(const QSqlDatabase& db, const QString& select, int32_t typeCode)
{
    QSqlQuery query(db);
    query.prepare(select);
    query.bindValue(QStringLiteral(":type"), typeCode);
    query.bindValue(QStringLiteral(":serial_op"), QString::fromUtf8(kOperationSerial));
    return query;
}

}  // namespace

SerialReservation SqliteHistory::PeekNextSerial(int32_t typeCode)
{
    if (auto failure = Open())
        return {corrupt_ ? SerialReservation::Outcome::HistoryCorrupt : SerialReservation::Outcome::HistoryFailed, 0,
                *failure};
    QSqlQuery query =
        UsedQuery(QSqlDatabase::database(Q(connection_), false),
                  QStringLiteral("SELECT MAX(serial) FROM (%1)").arg(QString::fromUtf8(kUsedSerials)), typeCode);
    if (!query.exec() || !query.next())
        return {SerialReservation::Outcome::HistoryFailed, 0, ReadFailure(path_, query.lastError())};
    const int64_t next = query.value(0).isNull() ? 1 : query.value(0).toLongLong() + 1;
    if (next > kLastSerial)
        return {SerialReservation::Outcome::RangeEnd, 0, RangeEndText(typeCode, false)};
    return {SerialReservation::Outcome::Reserved, static_cast<int32_t>(next), {}};
}

SerialReservation SqliteHistory::ReserveSerial(int32_t typeCode, std::optional<int32_t> serial, bool reuse,
                                               const std::function<bool(int32_t)>& taken, HistoryRecord row)
{
    using Outcome = SerialReservation::Outcome;
    if (auto failure = Open())
        return {corrupt_ ? Outcome::HistoryCorrupt : Outcome::HistoryFailed, 0, *failure};
    struct BusyWait {
        QSqlDatabase db;
        explicit BusyWait(QSqlDatabase d) : db(std::move(d)) { SetBusyWait(db, kReservationBusyMs); }
        ~BusyWait() { SetBusyWait(db, kRowBusyMs); }
    } wait(QSqlDatabase::database(Q(connection_), false));
    if (auto failure = Begin())
        return {Outcome::HistoryFailed, 0, *failure};
    const auto refuse = [&](Outcome outcome, int32_t number, HistoryError message) {
        Rollback();
        return SerialReservation{outcome, number, std::move(message)};
    };
    QSqlDatabase db = QSqlDatabase::database(Q(connection_), false);
    int32_t number = 0;
    if (!serial) {
        SerialReservation next = PeekNextSerial(typeCode);
        if (next.outcome != Outcome::Reserved)
            return refuse(next.outcome, 0, next.message);
        number = next.serial;
        for (; taken && taken(number); ++number)
            if (number == kLastSerial)
                return refuse(Outcome::RangeEnd, 0, RangeEndText(typeCode, true));
    } else {
        number = *serial;
        std::string why;
        if (auto failure = WhyUsed(typeCode, number, taken, why))
            return refuse(Outcome::HistoryFailed, number, *failure);
        if (!why.empty() && !reuse)
            return refuse(Outcome::Used, number, why);
    }

    // Without reuse a plain INSERT: the UNIQUE constraint refuses a number that another station
    // took between the checks above and here, should the lock ever not hold.
    QSqlQuery insert(db);
    insert.prepare(QString::fromUtf8(
        reuse ? "INSERT INTO serials (type_code, serial, reserved, operator, profile) VALUES (?, ?, ?, ?, ?) "
                "ON CONFLICT (type_code, serial) DO UPDATE SET reserved = excluded.reserved, "
                "operator = excluded.operator, profile = excluded.profile, outcome = NULL"
              : "INSERT INTO serials (type_code, serial, reserved, operator, profile) VALUES (?, ?, ?, ?, ?)"));
    row.time = row.time.empty() ? LocalNow() : row.time;
    row.operatorName = row.operatorName.empty() ? OperatorLogin() : row.operatorName;
    row.typeCode = typeCode;
    row.serial = number;
    row.operation = kOperationReservation;
    for (const QVariant& v : {QVariant(typeCode), QVariant(number), QVariant(Q(row.time)),
                              QVariant(Q(row.operatorName)), QVariant(Q(row.profile))})
        insert.addBindValue(v);
    if (!insert.exec()) {
        const bool twice = insert.lastError().nativeErrorCode().startsWith(QStringLiteral("19"));  // SQLITE_CONSTRAINT
        return refuse(twice ? Outcome::Used : Outcome::HistoryFailed, number,
                      twice ? GivenTwiceText(typeCode, number) : Failure(path_, insert.lastError()));
    }
    if (auto failure = Insert(row))
        return refuse(Outcome::HistoryFailed, number, *failure);
    if (auto failure = Commit())
        return {Outcome::HistoryFailed, number, *failure};
    return {Outcome::Reserved, number, {}};
}

std::optional<HistoryError> SqliteHistory::WhyUsed(int32_t typeCode, int32_t number,
                                                   const std::function<bool(int32_t)>& taken, std::string& why)
{
    QSqlDatabase db = QSqlDatabase::database(Q(connection_), false);
    QSqlQuery reserved(db);
    reserved.prepare(QStringLiteral("SELECT reserved, outcome FROM serials WHERE type_code = ? AND serial = ?"));
    reserved.addBindValue(typeCode);
    reserved.addBindValue(number);
    QSqlQuery written(db);
    written.prepare(QStringLiteral("SELECT time FROM records WHERE type_code = ? AND serial = ? AND operation = ? "
                                   "ORDER BY id DESC LIMIT 1"));
    written.addBindValue(typeCode);
    written.addBindValue(number);
    written.addBindValue(QString::fromUtf8(kOperationSerial));
    if (!reserved.exec())
        return ReadFailure(path_, reserved.lastError());
    if (!written.exec())
        return ReadFailure(path_, written.lastError());
    why.clear();
    if (reserved.next()) {
        const QVariant outcome = reserved.value(1);
        why = ReservedText(typeCode, number, reserved.value(0).toString().toStdString(),
                           outcome.isNull() ? std::nullopt : std::optional<int64_t>(outcome.toLongLong()));
    } else if (written.next()) {
        why = WrittenText(typeCode, number, written.value(0).toString().toStdString());
    } else if (taken && taken(number)) {
        why = PassportExistsText(typeCode, number);
    }
    return std::nullopt;
}

std::optional<SerialReservation> SqliteHistory::CheckSerial(int32_t typeCode, int32_t serial)
{
    using Outcome = SerialReservation::Outcome;
    if (auto failure = Open())
        return SerialReservation{corrupt_ ? Outcome::HistoryCorrupt : Outcome::HistoryFailed, serial, *failure};
    std::string why;
    if (auto failure = WhyUsed(typeCode, serial, {}, why))
        return SerialReservation{Outcome::HistoryFailed, serial, *failure};
    if (why.empty())
        return std::nullopt;
    return SerialReservation{Outcome::Used, serial, why};
}

std::vector<HistoryFinding> SqliteHistory::Check()
{
    const std::string which = "Журнал приборов: файл " + path_ + " (на этом компьютере)";
    std::error_code error;
    if (!open_ && !std::filesystem::exists(path_, error) && !error)
        return {{"history_file", true, which + "; его создаст первая запись"}};
    // The file is there: the opening only looks at it and makes none, so a failure is SQLite's
    // words; a file refused by the system (the file removed meanwhile, made anew) is named alone.
    if (const auto failure = Open())
        return {{"history_file", true, which},
                {corrupt_ ? "history_file_corrupt" : "history_file_unusable", false,
                 failure->file ? "Не удается создать журнал приборов " + path_ : failure->text,
                 corrupt_ ? "pmvctl produce ... --new-history" : ""}};
    return {{"history_file", true, which}};
}

std::optional<HistoryError> SqliteHistory::Import(const std::string&, ImportReport&)
{
    return "Журнал приборов " + path_ +
           " - файл этого компьютера; перенести журнал можно только на сервер: pmvctl --history postgresql://... "
           "history --import ФАЙЛ";
}

std::optional<HistoryError> SqliteHistory::ReadAll(std::vector<HistoryRecord>& records, std::vector<NumberRow>& numbers)
{
    records.clear();
    numbers.clear();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path_, error))
        return "Нет файла журнала приборов " + path_;
    if (auto failure = Query({}, records))
        return failure;
    QSqlQuery query(QSqlDatabase::database(Q(connection_), false));
    if (!query.exec(QStringLiteral("SELECT type_code, serial, reserved, operator, profile, outcome FROM serials "
                                   "ORDER BY reserved, type_code, serial")))
        return ReadFailure(path_, query.lastError());
    while (query.next())
        numbers.push_back(
            {query.value(0).toInt(), query.value(1).toInt(), query.value(2).toString().toStdString(),
             query.value(3).toString().toStdString(), query.value(4).toString().toStdString(),
             query.value(5).isNull() ? std::nullopt : std::optional<int64_t>(query.value(5).toLongLong())});
    return std::nullopt;
}

}  // namespace pmv::history
