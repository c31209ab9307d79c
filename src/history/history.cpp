#include "history/history.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace pmv {
namespace {

// SQLite's result codes for a file that is not a sound database.
constexpr const char* kCorruptCodes[] = {"11", "26"};  // SQLITE_CORRUPT, SQLITE_NOTADB

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS records ("
    "id INTEGER PRIMARY KEY, time TEXT NOT NULL, operator TEXT, serial INTEGER, type_code INTEGER, "
    "device_type INTEGER, firmware TEXT, operation TEXT, profile TEXT, profile_sha256 TEXT, groups TEXT, "
    "result INTEGER, details TEXT)";

constexpr const char* kColumns =
    "time, operator, serial, type_code, device_type, firmware, operation, profile, profile_sha256, groups, result, "
    "details";

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

bool IsCorrupt(const QSqlError& error)
{
    const std::string code = error.nativeErrorCode().toStdString();
    for (const char* c : kCorruptCodes)
        if (code == c)
            return true;
    return false;
}

std::string Failure(const std::string& path, const QSqlError& error)
{
    return "Не удается записать журнал приборов " + path + ": " + error.text().toStdString();
}

std::string CsvField(std::string text)
{
    if (text.find_first_of(";\"\r\n") == std::string::npos)
        return text;
    for (size_t at = 0; (at = text.find('"', at)) != std::string::npos; at += 2)
        text.insert(at, 1, '"');
    return '"' + text + '"';
}

}  // namespace

History::History(std::string path) : path_(std::move(path))
{
    static std::atomic<int> instances{0};
    connection_ = "pmv-history-" + std::to_string(++instances);
}

History::~History()
{
    if (!QSqlDatabase::contains(Q(connection_)))
        return;
    QSqlDatabase::database(Q(connection_), false).close();
    QSqlDatabase::removeDatabase(Q(connection_));
}

std::optional<std::string> History::Open()
{
    if (open_)
        return std::nullopt;
    for (int attempt = 0; attempt < 2; ++attempt) {
        {
            QSqlDatabase db = QSqlDatabase::contains(Q(connection_))
                                  ? QSqlDatabase::database(Q(connection_), false)
                                  : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Q(connection_));
            db.setDatabaseName(Q(path_));
            if (!db.open())
                return Failure(path_, db.lastError());
            QSqlQuery check(db);
            const bool sound = check.exec(QStringLiteral("PRAGMA quick_check")) && check.next() &&
                               check.value(0).toString() == QStringLiteral("ok");
            const QSqlError checkError = check.lastError();
            check.finish();  // its open read would keep the journal mode from changing
            if (sound) {
                QSqlQuery setup(db);
                // A kill between two records must never cost a committed one.
                for (const char* statement : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", kCreateTable})
                    if (!setup.exec(QString::fromUtf8(statement)))
                        return Failure(path_, setup.lastError());
                open_ = true;
                return std::nullopt;
            }
            const bool corrupt = checkError.type() == QSqlError::NoError || IsCorrupt(checkError);
            if (!corrupt || attempt > 0)
                return Failure(path_, checkError);
            db.close();
        }
        // Set aside, never overwritten: the rows in it may still be recovered by hand.
        const std::string aside =
            path_ + ".corrupt-" + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
        std::error_code error;
        std::filesystem::rename(path_, aside, error);
        if (error)
            return "Журнал приборов " + path_ + " поврежден и не переименовывается: " + error.message();
        for (const char* suffix : {"-wal", "-shm"})
            std::filesystem::remove(path_ + suffix, error);
        notice_ = "Журнал приборов " + path_ + " был поврежден и сохранен как " + aside + "; начат новый.";
    }
    return std::nullopt;
}

std::optional<std::string> History::TakeNotice()
{
    return std::exchange(notice_, std::nullopt);
}

std::optional<std::string> History::Record(HistoryRecord r)
{
    if (auto failure = Open())
        return failure;
    if (r.time.empty())
        r.time = QDateTime::currentDateTime().toString(Qt::ISODate).toStdString();
    if (r.operatorName.empty())
        r.operatorName = OperatorLogin();
    QSqlDatabase db = QSqlDatabase::database(Q(connection_), false);
    if (!db.transaction())
        return Failure(path_, db.lastError());
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO records (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                       .arg(QString::fromUtf8(kColumns)));
    for (const QVariant& v : {QVariant(Q(r.time)), QVariant(Q(r.operatorName)), QVariant(r.serial),
                              QVariant(r.typeCode), QVariant(r.deviceType), QVariant(Q(r.firmware)),
                              QVariant(Q(r.operation)), QVariant(Q(r.profile)), QVariant(Q(r.profileSha256)),
                              QVariant(Q(r.groups)), QVariant(static_cast<qlonglong>(r.result)), QVariant(Q(r.details))})
        insert.addBindValue(v);
    if (!insert.exec()) {
        const std::string failure = Failure(path_, insert.lastError());
        db.rollback();
        return failure;
    }
    if (!db.commit())
        return Failure(path_, db.lastError());
    return std::nullopt;
}

std::optional<std::string> History::Query(const HistoryFilter& filter, std::vector<HistoryRecord>& rows)
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

std::optional<int32_t> History::LastSerial(int32_t typeCode)
{
    if (Open())
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(Q(connection_), false));
    query.prepare(QStringLiteral("SELECT MAX(serial) FROM records WHERE type_code = ?"));
    query.addBindValue(typeCode);
    if (!query.exec() || !query.next() || query.value(0).isNull())
        return std::nullopt;
    return query.value(0).toInt();
}

std::string HistoryCsv(const std::vector<HistoryRecord>& rows)
{
    std::string csv = "Время;Оператор;Тип;Номер;Тип прибора;ПО;Операция;Профиль;SHA-256 профиля;Группы;Результат;"
                      "Подробности\r\n";
    for (const HistoryRecord& r : rows) {
        for (const std::string& field :
             {CsvField(r.time), CsvField(r.operatorName), std::to_string(r.typeCode), std::to_string(r.serial),
              std::to_string(r.deviceType), CsvField(r.firmware), CsvField(r.operation), CsvField(r.profile),
              r.profileSha256, CsvField(r.groups), std::to_string(r.result)})
            csv += field + ';';
        csv += CsvField(r.details) + "\r\n";
    }
    return csv;
}

std::string FileSha256(const std::string& path)
{
    QFile file(Q(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result().toHex().toStdString();
}

std::string OperatorLogin()
{
    if (const passwd* user = getpwuid(geteuid()); user && user->pw_name)
        return user->pw_name;
    const char* name = std::getenv("USER");
    return name ? name : "";
}

}  // namespace pmv
