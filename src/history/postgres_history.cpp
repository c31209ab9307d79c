#include "history/postgres_history.h"

#include "history/store_texts.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QVariant>

#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <netdb.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace pmv::history {
namespace {

constexpr const char* kDriver = "QPSQL";

// Version 1 of the tables. `records` and `serials` have the columns of the file history, so that
// a station's file moves in row by row.
constexpr const char* kCreateStatements[] = {
    "CREATE TABLE schema_version (version integer NOT NULL)",
    "CREATE TABLE records (id bigserial PRIMARY KEY, time text NOT NULL, operator text, serial integer, "
    "type_code integer, device_type integer, firmware text, operation text, profile text, profile_sha256 text, "
    "groups text, result bigint, details text)",
    "CREATE INDEX records_instrument ON records (type_code, serial)",
    "CREATE TABLE serials (type_code integer NOT NULL, serial integer NOT NULL, reserved text NOT NULL, "
    "operator text, profile text, outcome bigint, UNIQUE (type_code, serial))",
    "INSERT INTO schema_version (version) VALUES (1)",
};

struct TableShape {
    const char* table;
    const char* columns;
};
constexpr TableShape kTables[] = {
    {"schema_version", "version"},
    {"records",
     "id,time,operator,serial,type_code,device_type,firmware,operation,profile,profile_sha256,groups,result,details"},
    {"serials", "type_code,serial,reserved,operator,profile,outcome"},
};

constexpr const char* kColumns =
    "time, operator, serial, type_code, device_type, firmware, operation, profile, profile_sha256, groups, result, "
    "details";
constexpr size_t kColumnCount = 12;

// Stations making the tables at once take turns on this lock of the database.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7700177)";

// A wait on another station's lock longer than this is a failure, not a frozen window (a setting
// of the connection, sent with the login); a reservation waits longer, since a refusal stops a
// line. Numbers are taken one station at a time; rows and reads go on beside. One round trip.
constexpr const char* kRowLockWait = "-c lock_timeout=1000";
constexpr const char* kBeginNumbers = "BEGIN; SET LOCAL lock_timeout = 5000; LOCK TABLE serials IN EXCLUSIVE MODE";

constexpr const char* kUniqueViolation = "23505";

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A row's values in the order of kColumns.
std::array<QVariant, kColumnCount> RecordValues(const HistoryRecord& r)
{
    return {QVariant(Q(r.time)),
            QVariant(Q(r.operatorName)),
            QVariant(r.serial),
            QVariant(r.typeCode),
            QVariant(r.deviceType),
            QVariant(Q(r.firmware)),
            QVariant(Q(r.operation)),
            QVariant(Q(r.profile)),
            QVariant(Q(r.profileSha256)),
            QVariant(Q(r.groups)),
            QVariant(static_cast<qlonglong>(r.result)),
            QVariant(Q(r.details))};
}

int Hex(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::optional<std::string> PercentDecoded(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = Hex(text[i + 1]);
        const int low = Hex(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A conninfo value in quotes, as libpq reads it.
std::string Quoted(const std::string& value)
{
    std::string out = "'";
    for (const char c : value) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "'";
}

// Whether anything listens where the server should: a TCP connection, or the socket file of a
// server on this computer; the reason when not.
std::optional<std::string> Unreachable(const ServerAddress& server, int timeoutSeconds)
{
    const std::string host = server.ShownHost();
    const int port = server.ShownPort();
    const auto connectWithin = [&](int fd, const sockaddr* address, socklen_t size) -> std::optional<std::string> {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        if (connect(fd, address, size) == 0)
            return std::nullopt;
        if (errno != EINPROGRESS)
            return std::string(std::strerror(errno));
        pollfd waiting{fd, POLLOUT, 0};
        if (poll(&waiting, 1, timeoutSeconds * 1000) != 1)
            return "нет ответа за " + std::to_string(timeoutSeconds) + " с";
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        return error == 0 ? std::nullopt : std::optional<std::string>(std::strerror(error));
    };
    if (host.starts_with('/')) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = host + "/.s.PGSQL." + std::to_string(port);
        if (path.size() >= sizeof address.sun_path)
            return "слишком длинное имя сокета " + path;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return std::string(std::strerror(errno));
        auto failure = connectWithin(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        close(fd);
        return failure ? std::optional<std::string>(path + ": " + *failure) : std::nullopt;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int error = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); error != 0)
        return "имя " + host + " не найдено: " + gai_strerror(error);
    std::optional<std::string> failure = "нет адресов";
    for (addrinfo* a = found; a && failure; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        failure = connectWithin(fd, a->ai_addr, a->ai_addrlen);
        close(fd);
    }
    freeaddrinfo(found);
    return failure;
}

}  // namespace

std::string ServerAddress::ShownHost() const
{
    if (!host.empty())
        return host;
    const std::string environment = Environment("PGHOST");
    return environment.empty() ? "/var/run/postgresql" : environment;
}

int ServerAddress::ShownPort() const
{
    if (port != 0)
        return port;
    const std::string environment = Environment("PGPORT");
    int value = 0;
    const auto parsed = std::from_chars(environment.data(), environment.data() + environment.size(), value);
    return parsed.ec == std::errc() && value > 0 ? value : 5432;
}

std::string ServerAddress::ShownUser() const
{
    if (!user.empty())
        return user;
    const std::string environment = Environment("PGUSER");
    return environment.empty() ? OperatorLogin() : environment;
}

std::string ServerAddress::ShownDatabase() const
{
    if (!database.empty())
        return database;
    const std::string environment = Environment("PGDATABASE");
    return environment.empty() ? ShownUser() : environment;
}

std::optional<ServerAddress> ParseServerAddress(const std::string& text, std::string& problem)
{
    std::string_view rest(text);
    for (const std::string_view scheme : {"postgresql://", "postgres://"})
        if (rest.starts_with(scheme))
            rest.remove_prefix(scheme.size());
    if (rest.size() == text.size()) {
        problem = "адрес сервера начинается с postgresql://";
        return std::nullopt;
    }
    ServerAddress server;
    const size_t authorityEnd = rest.find_first_of("/?");
    std::string_view authority = rest.substr(0, authorityEnd);
    rest.remove_prefix(authorityEnd == std::string_view::npos ? rest.size() : authorityEnd);
    const auto decoded = [&](std::string_view part, const char* what, std::string& into) {
        const auto value = PercentDecoded(part);
        if (!value || value->find('\0') != std::string::npos)
            problem = std::string("неверно записан ") + what + ": " + std::string(part);
        into = value.value_or("");
        return value.has_value() && problem.empty();
    };
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view user = authority.substr(0, at);
        if (user.find(':') != std::string_view::npos) {
            problem = "пароль в адресе не хранится: его берут из ~/.pgpass или PGPASSWORD";
            return std::nullopt;
        }
        if (!decoded(user, "пользователь", server.user))
            return std::nullopt;
        authority.remove_prefix(at + 1);
    }
    if (authority.find(',') != std::string_view::npos) {
        problem = "в адресе один сервер";
        return std::nullopt;
    }
    std::string_view portText;
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            problem = "неверно записан сервер: " + std::string(authority);
            return std::nullopt;
        }
        server.host = std::string(authority.substr(1, close - 1));
        authority.remove_prefix(close + 1);
        if (authority.starts_with(':'))
            portText = authority.substr(1);
        else if (!authority.empty()) {
            problem = "неверно записан сервер";
            return std::nullopt;
        }
    } else {
        const size_t colon = authority.find(':');
        if (!decoded(authority.substr(0, colon), "сервер", server.host))
            return std::nullopt;
        if (colon != std::string_view::npos)
            portText = authority.substr(colon + 1);
    }
    const auto parsePort = [&](std::string_view digits) {
        int value = 0;
        const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size() || value < 1 ||
            value > 65535) {
            problem = "порт сервера 1..65535, а не " + std::string(digits);
            return false;
        }
        server.port = value;
        return true;
    };
    if (!portText.empty() && !parsePort(portText))
        return std::nullopt;
    if (rest.starts_with('/')) {
        const size_t end = rest.find('?');
        if (!decoded(rest.substr(1, end == std::string_view::npos ? end : end - 1), "база", server.database))
            return std::nullopt;
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    }
    if (rest.starts_with('?')) {
        rest.remove_prefix(1);
        while (!rest.empty()) {
            const size_t end = rest.find('&');
            const std::string_view pair = rest.substr(0, end);
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            const size_t equals = pair.find('=');
            std::string key, value;
            if (equals == std::string_view::npos || !decoded(pair.substr(0, equals), "параметр", key) ||
                !decoded(pair.substr(equals + 1), "параметр", value) || key.empty()) {
                if (problem.empty())
                    problem = "неверно записан параметр: " + std::string(pair);
                return std::nullopt;
            }
            if (key == "password") {
                problem = "пароль в адресе не хранится: его берут из ~/.pgpass или PGPASSWORD";
                return std::nullopt;
            }
            if (value.find(';') != std::string::npos) {
                problem = "в параметре " + key + " точка с запятой";
                return std::nullopt;
            }
            if (key == "host")
                server.host = value;
            else if (key == "port" && !parsePort(value))
                return std::nullopt;
            else if (key == "user")
                server.user = value;
            else if (key == "dbname")
                server.database = value;
            else if (key != "port")
                server.options.emplace_back(key, value);
        }
    }
    return server;
}

PostgresHistory::PostgresHistory(std::string address) : address_(std::move(address))
{
    static std::atomic<int> instances{0};
    connection_ = "pmv-history-server-" + std::to_string(++instances);
    server_ = ParseServerAddress(address_, problem_);
}

PostgresHistory::~PostgresHistory()
{
    if (!QSqlDatabase::contains(Q(connection_)))
        return;
    QSqlDatabase::database(Q(connection_), false).close();
    QSqlDatabase::removeDatabase(Q(connection_));
}

std::optional<std::string> PostgresHistory::Connect()
{
    if (!server_)
        return "Журнал приборов на сервере " + address_ + " не открывается: " + problem_;
    if (!QSqlDatabase::isDriverAvailable(QString::fromLatin1(kDriver)))
        return "Не удается открыть журнал приборов " + address_ +
               ": нет драйвера PostgreSQL библиотеки Qt (пакет libqt6sql6-psql)";
    QSqlDatabase db = QSqlDatabase::contains(Q(connection_))
                          ? QSqlDatabase::database(Q(connection_), false)
                          : QSqlDatabase::addDatabase(QString::fromLatin1(kDriver), Q(connection_));
    db.setHostName(Q(server_->host));
    db.setPort(server_->port == 0 ? -1 : server_->port);
    db.setUserName(Q(server_->user));
    db.setDatabaseName(Q(server_->database));
    std::string options = "application_name=pmv77xx";
    bool timeoutGiven = false;
    std::string serverOptions = kRowLockWait;
    for (const auto& [key, value] : server_->options) {
        if (key == "options")
            serverOptions = value + " " + serverOptions;
        else
            options += ";" + key + "=" + Quoted(value);
        timeoutGiven |= key == "connect_timeout";
    }
    options += ";options=" + Quoted(serverOptions);
    // A station whose server does not answer refuses within seconds; a server that goes silent
    // in the middle of a statement is noticed by the keepalives.
    if (!timeoutGiven)
        options += ";connect_timeout=" + std::to_string(kConnectTimeoutSeconds);
    options += ";keepalives_idle=10;keepalives_interval=5;keepalives_count=3";
    db.setConnectOptions(Q(options));
    if (!db.open()) {
        const std::string reason = db.lastError().text().trimmed().toStdString();
        db.close();
        return "Не удается подключиться к журналу приборов " + address_ + ": " + reason;
    }
    return std::nullopt;
}

std::optional<std::string> PostgresHistory::Open()
{
    if (open_)
        return std::nullopt;
    if (auto failure = Connect())
        return failure;
    // The tables of this release answer one question; anything else is looked at closely.
    QSqlQuery version(QSqlDatabase::database(Q(connection_), false));
    if (version.exec(QStringLiteral("SELECT max(version) FROM schema_version")) && version.next() &&
        version.value(0).toInt() == kSchemaVersion) {
        open_ = true;
        return std::nullopt;
    }
    if (auto failure = PrepareSchema()) {
        QSqlDatabase::database(Q(connection_), false).close();
        return failure;
    }
    open_ = true;
    return std::nullopt;
}

bool PostgresHistory::Run(QSqlQuery& query, std::string& failure, bool write)
{
    return query.exec() || Failed(query, failure, write);
}

bool PostgresHistory::Run(const char* statement, std::string& failure, bool write)
{
    // Transaction control, locks and settings cannot be prepared: sent as they are.
    QSqlQuery query(QSqlDatabase::database(Q(connection_), false));
    return RunAll(query, QString::fromUtf8(statement), failure, write);
}

bool PostgresHistory::RunAll(QSqlQuery& query, const QString& statements, std::string& failure, bool write)
{
    // Each statement has a result of its own: a failure of a later one shows there, and the
    // rows of a SELECT are read from its own.
    if (!query.exec(statements))
        return Failed(query, failure, write);
    while (!query.isSelect() && query.nextResult()) {
    }
    return query.lastError().type() == QSqlError::NoError || Failed(query, failure, write);
}

bool PostgresHistory::Failed(QSqlQuery& query, std::string& failure, bool write)
{
    const QSqlError error = query.lastError();
    failure = (write ? WriteFailure : ReadFailure)(address_, error.text().trimmed().toStdString());
    // A statement refused by the server leaves the connection as it was; a lost one is closed,
    // and the next call connects again.
    QSqlDatabase db = QSqlDatabase::database(Q(connection_), false);
    const QString state = error.nativeErrorCode();
    if (state.isEmpty() || state.startsWith(QStringLiteral("08")) || state.startsWith(QStringLiteral("57P")) ||
        !db.isOpen()) {
        query.finish();
        db.close();
        open_ = false;
    }
    return false;
}

void PostgresHistory::Rollback()
{
    QSqlDatabase db = QSqlDatabase::database(Q(connection_), false);
    if (db.isOpen())
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
}

std::optional<std::string> PostgresHistory::Inspect(Schema& schema)
{
    QSqlQuery query(QSqlDatabase::database(Q(connection_), false));
    query.prepare(
        QStringLiteral("SELECT c.relname, string_agg(a.attname, ',' ORDER BY a.attnum) FROM pg_class c "
                       "JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
                       "WHERE c.relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = current_schema()) "
                       "AND c.relname IN ('schema_version', 'records', 'serials') GROUP BY c.relname"));
    std::string failure;
    if (!Run(query, failure, false))
        return failure;
    std::map<std::string, std::string> found;
    while (query.next())
        found[query.value(0).toString().toStdString()] = query.value(1).toString().toStdString();
    schema = {};
    if (found.empty())
        return std::nullopt;
    for (const TableShape& shape : kTables)
        if (const auto table = found.find(shape.table); table != found.end() && table->second != shape.columns) {
            schema = {Schema::State::Foreign, 0, std::string("таблица ") + shape.table + " другого вида"};
            return std::nullopt;
        }
    for (const TableShape& shape : kTables)
        if (!found.contains(shape.table)) {
            schema = {Schema::State::Foreign, 0, std::string("в ней нет таблицы ") + shape.table};
            return std::nullopt;
        }
    QSqlQuery version(QSqlDatabase::database(Q(connection_), false));
    version.prepare(QStringLiteral("SELECT max(version) FROM schema_version"));
    if (!Run(version, failure, false))
        return failure;
    schema.version = version.next() ? version.value(0).toInt() : 0;
    if (schema.version < 1)
        schema = {Schema::State::Foreign, schema.version, "в таблице schema_version нет версии"};
    else
        schema.state = schema.version > kSchemaVersion ? Schema::State::Newer : Schema::State::Ours;
    return std::nullopt;
}

std::string PostgresHistory::NotOurs(const Schema& schema) const
{
    if (schema.state == Schema::State::Newer)
        return "Журнал приборов " + address_ + " ведет более новая версия программы (схема " +
               std::to_string(schema.version) + ", эта программа знает схему " + std::to_string(kSchemaVersion) +
               "): обновите программу на этой станции";
    return "База " + address_ + " не является журналом приборов этой программы: " + schema.detail;
}

std::optional<std::string> PostgresHistory::PrepareSchema()
{
    Schema schema;
    if (auto failure = Inspect(schema))
        return failure;
    if (schema.state == Schema::State::Ours)
        return std::nullopt;
    if (schema.state != Schema::State::Empty)
        return NotOurs(schema);
    // Made in one transaction under a lock: a station that waited finds the tables whole.
    std::string failure;
    if (!Run("BEGIN", failure, true))
        return failure;
    bool done = Run(kSchemaLock, failure, true);
    if (done) {
        if (auto inspected = Inspect(schema))
            return inspected;
    }
    if (done && schema.state == Schema::State::Empty)
        for (const char* statement : kCreateStatements)
            if (done)
                done = Run(statement, failure, true);
    if (done && schema.state != Schema::State::Empty && schema.state != Schema::State::Ours) {
        Rollback();
        return NotOurs(schema);
    }
    if (done)
        done = Run("COMMIT", failure, true);
    if (!done) {
        Rollback();
        return failure;
    }
    return std::nullopt;
}

QString PostgresHistory::Literal(const QVariant& value) const
{
    QSqlField field(QString(), value.metaType());
    field.setValue(value);
    return QSqlDatabase::database(Q(connection_), false).driver()->formatValue(field);
}

QString PostgresHistory::Filled(const char* statement, const std::vector<QVariant>& values) const
{
    QString filled;
    size_t next = 0;
    for (const char* c = statement; *c; ++c)
        if (*c == '?' && next < values.size())
            filled += Literal(values[next++]);
        else
            filled += QChar::fromLatin1(*c);
    return filled;
}

std::optional<std::string> PostgresHistory::Insert(const HistoryRecord& r, const char* with,
                                                   const std::vector<QVariant>& withValues, const char* then,
                                                   QSqlQuery* ran)
{
    QSqlQuery own(QSqlDatabase::database(Q(connection_), false));
    QSqlQuery& insert = ran ? *ran : own;
    // A change of another table that must go with the row is a part of the same statement; the
    // values are written into it by the driver's own quoting, so that it is one round trip.
    QString statement = with ? QStringLiteral("WITH beside AS (%1) ").arg(Filled(with, withValues)) : QString();
    statement += QStringLiteral("INSERT INTO records (%1) VALUES (").arg(QString::fromUtf8(kColumns));
    const std::array<QVariant, kColumnCount> values = RecordValues(r);
    for (const QVariant& v : values)
        statement += (&v == values.data() ? QString() : QStringLiteral(", ")) + Literal(v);
    statement += QStringLiteral(")");
    if (then)
        statement += QStringLiteral("; ") + QString::fromUtf8(then);
    std::string failure;
    if (!RunAll(insert, statement, failure, true))
        return failure;
    return std::nullopt;
}

std::optional<HistoryError> PostgresHistory::Record(HistoryRecord r)
{
    if (r.time.empty())
        r.time = LocalNow();
    if (r.operatorName.empty())
        r.operatorName = OperatorLogin();
    if (auto failure = Open())
        return failure;
    // One statement: the row, and for a production's outcome its number's, commit together.
    if (r.operation == kOperationProduction)
        return Insert(r, "UPDATE serials SET outcome = ? WHERE type_code = ? AND serial = ? RETURNING 1",
                      {QVariant(static_cast<qlonglong>(r.result)), QVariant(r.typeCode), QVariant(r.serial)});
    return Insert(r);
}

std::optional<HistoryError> PostgresHistory::Query(const HistoryFilter& filter, std::vector<HistoryRecord>& rows)
{
    rows.clear();
    if (auto failure = Open())
        return failure;
    QString where = QStringLiteral(" WHERE TRUE");
    if (filter.serial)
        where += QStringLiteral(" AND serial = :serial");
    if (filter.typeCode)
        where += QStringLiteral(" AND type_code = :type");
    if (!filter.fromDate.empty())
        where += QStringLiteral(" AND substr(time, 1, 10) >= :from");
    if (!filter.toDate.empty())
        where += QStringLiteral(" AND substr(time, 1, 10) <= :to");
    QSqlQuery query(QSqlDatabase::database(Q(connection_), false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM records%2 ORDER BY id").arg(QString::fromUtf8(kColumns), where));
    if (filter.serial)
        query.bindValue(QStringLiteral(":serial"), *filter.serial);
    if (filter.typeCode)
        query.bindValue(QStringLiteral(":type"), *filter.typeCode);
    if (!filter.fromDate.empty())
        query.bindValue(QStringLiteral(":from"), Q(filter.fromDate));
    if (!filter.toDate.empty())
        query.bindValue(QStringLiteral(":to"), Q(filter.toDate));
    std::string failure;
    if (!Run(query, failure, false))
        return failure;
    while (query.next()) {
        const auto text = [&](int i) { return query.value(i).toString().toStdString(); };
        rows.push_back({text(0), text(1), query.value(2).toInt(), query.value(3).toInt(), query.value(4).toInt(),
                        text(5), text(6), text(7), text(8), text(9), query.value(10).toUInt(), text(11)});
    }
    return std::nullopt;
}

QString PostgresHistory::HighestUsed(int32_t typeCode) const
{
    // Every number of the type code that is reserved or was written into an instrument (also by
    // hand, and also when the write failed: part of it may have reached the instrument).
    return QStringLiteral("SELECT MAX(serial) FROM (SELECT serial FROM serials WHERE type_code = %1 UNION "
                          "SELECT serial FROM records WHERE type_code = %1 AND operation = %2) AS used")
        .arg(typeCode)
        .arg(Literal(QString::fromUtf8(kOperationSerial)));
}

SerialReservation PostgresHistory::PeekNextSerial(int32_t typeCode)
{
    if (auto failure = Open())
        return {SerialReservation::Outcome::HistoryFailed, 0, *failure};
    QSqlQuery query(QSqlDatabase::database(Q(connection_), false));
    std::string failure;
    if (!RunAll(query, HighestUsed(typeCode), failure, false) || !query.next())
        return {SerialReservation::Outcome::HistoryFailed, 0, failure};
    const int64_t next = query.value(0).isNull() ? 1 : query.value(0).toLongLong() + 1;
    if (next > kLastSerial)
        return {SerialReservation::Outcome::RangeEnd, 0, RangeEndText(typeCode, false)};
    return {SerialReservation::Outcome::Reserved, static_cast<int32_t>(next), {}};
}

SerialReservation PostgresHistory::ReserveSerial(int32_t typeCode, std::optional<int32_t> serial, bool reuse,
                                                 const std::function<bool(int32_t)>& taken, HistoryRecord row)
{
    using Outcome = SerialReservation::Outcome;
    if (auto failure = Open())
        return {Outcome::HistoryFailed, 0, *failure};
    std::string failure;
    const auto refuse = [&](Outcome outcome, int32_t number, std::string message) {
        Rollback();
        return SerialReservation{outcome, number, std::move(message)};
    };
    // The lock comes before the first read: what the reservation reads stays true until it commits.
    // The next number is read in the same round trip.
    QSqlQuery begin(QSqlDatabase::database(Q(connection_), false));
    const QString next = serial ? QString() : QStringLiteral("; ") + HighestUsed(typeCode);
    if (!RunAll(begin, QString::fromUtf8(kBeginNumbers) + next, failure, true))
        return refuse(Outcome::HistoryFailed, 0, failure);
    int32_t number = 0;
    if (!serial) {
        if (!begin.next())
            return refuse(Outcome::HistoryFailed, 0, ReadFailure(address_, "нет ответа на запрос номера"));
        const int64_t highest = begin.value(0).isNull() ? 0 : begin.value(0).toLongLong();
        if (highest >= kLastSerial)
            return refuse(Outcome::RangeEnd, 0, RangeEndText(typeCode, false));
        number = static_cast<int32_t>(highest + 1);
        for (; taken && taken(number); ++number)
            if (number == kLastSerial)
                return refuse(Outcome::RangeEnd, 0, RangeEndText(typeCode, true));
    } else {
        number = *serial;
        std::string why;
        if (auto readFailure = WhyUsed(typeCode, number, taken, why))
            return refuse(Outcome::HistoryFailed, number, *readFailure);
        if (!why.empty() && !reuse)
            return refuse(Outcome::Used, number, why);
    }

    // Without reuse a plain INSERT: the UNIQUE constraint refuses a number that another station
    // took between the checks above and here, should the lock ever not hold. The number and its
    // row are one statement.
    row.time = row.time.empty() ? LocalNow() : row.time;
    row.operatorName = row.operatorName.empty() ? OperatorLogin() : row.operatorName;
    row.typeCode = typeCode;
    row.serial = number;
    row.operation = kOperationReservation;
    QSqlQuery insert(QSqlDatabase::database(Q(connection_), false));
    if (auto inserted = Insert(
            row,
            reuse ? "INSERT INTO serials (type_code, serial, reserved, operator, profile) VALUES (?, ?, ?, ?, ?) "
                    "ON CONFLICT (type_code, serial) DO UPDATE SET reserved = excluded.reserved, "
                    "operator = excluded.operator, profile = excluded.profile, outcome = NULL RETURNING 1"
                  : "INSERT INTO serials (type_code, serial, reserved, operator, profile) VALUES (?, ?, ?, ?, ?) "
                    "RETURNING 1",
            {QVariant(typeCode), QVariant(number), QVariant(Q(row.time)), QVariant(Q(row.operatorName)),
             QVariant(Q(row.profile))},
            "COMMIT", &insert)) {
        const bool twice = insert.lastError().nativeErrorCode() == QString::fromLatin1(kUniqueViolation);
        return refuse(twice ? Outcome::Used : Outcome::HistoryFailed, number,
                      twice ? GivenTwiceText(typeCode, number) : *inserted);
    }
    return {Outcome::Reserved, number, {}};
}

std::optional<std::string> PostgresHistory::WhyUsed(int32_t typeCode, int32_t number,
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
    std::string failure;
    if (!Run(reserved, failure, false) || !Run(written, failure, false))
        return failure;
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

std::optional<SerialReservation> PostgresHistory::CheckSerial(int32_t typeCode, int32_t serial)
{
    using Outcome = SerialReservation::Outcome;
    if (auto failure = Open())
        return SerialReservation{Outcome::HistoryFailed, serial, *failure};
    std::string why;
    if (auto failure = WhyUsed(typeCode, serial, {}, why))
        return SerialReservation{Outcome::HistoryFailed, serial, *failure};
    if (why.empty())
        return std::nullopt;
    return SerialReservation{Outcome::Used, serial, why};
}

std::optional<HistoryError> PostgresHistory::StartNew()
{
    return "Журнал приборов " + address_ + " ведет сервер: новый журнал начинает его администратор";
}

std::vector<HistoryFinding> PostgresHistory::Check()
{
    std::vector<HistoryFinding> findings{{"history_server", true, "Журнал приборов: сервер PostgreSQL " + address_}};
    if (!server_) {
        findings.push_back({"history_address_invalid", false,
                            "Адрес журнала приборов " + address_ + " неверен: " + problem_,
                            "pmvctl --history postgresql://ПОЛЬЗОВАТЕЛЬ@СЕРВЕР/БАЗА doctor"});
        return findings;
    }
    if (!QSqlDatabase::isDriverAvailable(QString::fromLatin1(kDriver))) {
        findings.push_back({"history_driver_missing", false, "Нет драйвера PostgreSQL библиотеки Qt",
                            "sudo apt-get install libqt6sql6-psql"});
        return findings;
    }
    const std::string host = server_->ShownHost() + ":" + std::to_string(server_->ShownPort());
    int timeout = kConnectTimeoutSeconds;
    for (const auto& [key, value] : server_->options)
        if (key == "connect_timeout")
            timeout = std::max(1, std::atoi(value.c_str()));
    if (const auto unreachable = Unreachable(*server_, timeout)) {
        findings.push_back({"history_server_unreachable", false,
                            "Сервер журнала " + host + " недоступен: " + *unreachable,
                            "pg_isready -h " + server_->ShownHost() + " -p " + std::to_string(server_->ShownPort())});
        return findings;
    }
    findings.push_back({"history_server_reachable", true, "Сервер журнала " + host + " доступен"});
    const std::string login = "Вход в базу " + server_->ShownDatabase() + " как " + server_->ShownUser();
    if (!open_) {
        if (const auto failure = Connect()) {
            findings.push_back({"history_login_refused", false, login + " не выполнен: " + *failure,
                                "пароль в ~/.pgpass (СЕРВЕР:ПОРТ:БАЗА:ПОЛЬЗОВАТЕЛЬ:ПАРОЛЬ, chmod 600 ~/.pgpass) или в "
                                "PGPASSWORD; пользователь и база: createuser и createdb на сервере"});
            return findings;
        }
    }
    findings.push_back({"history_login", true, login + " выполнен"});
    Schema schema;
    if (const auto failure = Inspect(schema)) {
        findings.push_back({"history_schema_unreadable", false, *failure});
        return findings;
    }
    switch (schema.state) {
    case Schema::State::Ours:
        findings.push_back({"history_schema", true,
                            "В базе журнал приборов этой программы, схема версии " + std::to_string(schema.version)});
        break;
    case Schema::State::Empty:
        findings.push_back({"history_schema_empty", true, "Таблиц журнала в базе пока нет: их создаст первая запись"});
        break;
    case Schema::State::Newer:
        findings.push_back({"history_schema_newer", false, NotOurs(schema), "обновите программу на этой станции"});
        break;
    case Schema::State::Foreign:
        findings.push_back({"history_schema_foreign", false, NotOurs(schema),
                            "укажите базу, отведенную журналу: createdb -O ПОЛЬЗОВАТЕЛЬ pmv"});
        break;
    }
    return findings;
}

std::optional<HistoryError> PostgresHistory::Import(const std::string& file, ImportReport& report)
{
    report = {};
    std::vector<HistoryRecord> records;
    std::vector<SqliteHistory::NumberRow> numbers;
    {
        SqliteHistory station(file);
        if (auto failure = station.ReadAll(records, numbers))
            return failure;
    }
    if (auto failure = Open())
        return failure;
    std::string failure;
    if (!Run(kBeginNumbers, failure, true)) {
        Rollback();
        return failure;
    }
    if (auto moved = MoveIn(records, numbers, report)) {
        Rollback();
        report = {};
        return moved;
    }
    if (!Run("COMMIT", failure, true)) {
        Rollback();
        report = {};
        return failure;
    }
    return std::nullopt;
}

std::optional<std::string> PostgresHistory::MoveIn(const std::vector<HistoryRecord>& records,
                                                   const std::vector<SqliteHistory::NumberRow>& numbers,
                                                   ImportReport& report)
{
    QSqlDatabase db = QSqlDatabase::database(Q(connection_), false);
    std::string failure;
    // What the server gave before the move: a number the station gave too is a conflict.
    std::map<std::pair<int32_t, int32_t>, std::string> givenBefore;
    {
        QSqlQuery given(db);
        given.setForwardOnly(true);
        given.prepare(QString::fromUtf8("SELECT type_code, serial, reserved, coalesce(operator, '') FROM serials "
                                        "UNION ALL SELECT type_code, serial, time, coalesce(operator, '') FROM records "
                                        "WHERE operation = ?"));
        given.addBindValue(QString::fromUtf8(kOperationSerial));
        if (!Run(given, failure, false))
            return failure;
        while (given.next())
            givenBefore.emplace(std::pair(given.value(0).toInt(), given.value(1).toInt()),
                                given.value(2).toString().toStdString() + " (" +
                                    given.value(3).toString().toStdString() + ")");
    }
    std::set<std::pair<int32_t, int32_t>> conflicting;
    const auto conflict = [&](int32_t typeCode, int32_t serial, const std::string& station) {
        const auto before = givenBefore.find({typeCode, serial});
        if (before == givenBefore.end() || !conflicting.insert({typeCode, serial}).second)
            return;
        report.conflicts.push_back(InstrumentNumber(typeCode, serial) + ": на сервере выдан " + before->second +
                                   ", на станции " + station + "; на сервере оставлен как был");
    };

    QSqlQuery same(db);
    same.prepare(QStringLiteral("SELECT 1 FROM serials WHERE type_code = ? AND serial = ? AND reserved = ? AND "
                                "operator IS NOT DISTINCT FROM ? AND profile IS NOT DISTINCT FROM ?"));
    QSqlQuery add(db);
    add.prepare(QStringLiteral("INSERT INTO serials (type_code, serial, reserved, operator, profile, outcome) "
                               "VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (type_code, serial) DO NOTHING"));
    for (const SqliteHistory::NumberRow& n : numbers) {
        const QVariant values[] = {QVariant(n.typeCode), QVariant(n.serial), QVariant(Q(n.reserved)),
                                   QVariant(Q(n.operatorName)), QVariant(Q(n.profile))};
        for (int i = 0; i < 5; ++i)
            same.bindValue(i, values[i]);
        if (!Run(same, failure, false))
            return failure;
        if (same.next())
            continue;
        if (givenBefore.contains({n.typeCode, n.serial})) {
            conflict(n.typeCode, n.serial, n.reserved + " (" + n.operatorName + ")");
            continue;
        }
        for (int i = 0; i < 5; ++i)
            add.bindValue(i, values[i]);
        add.bindValue(5, n.outcome ? QVariant(static_cast<qlonglong>(*n.outcome))
                                   : QVariant(QMetaType(QMetaType::LongLong)));
        if (!Run(add, failure, true))
            return failure;
        report.serials += add.numRowsAffected() > 0 ? 1 : 0;
    }

    QSqlQuery kept(db);
    kept.prepare(QStringLiteral(
        "SELECT 1 FROM records WHERE time = ? AND operator IS NOT DISTINCT FROM ? AND serial IS NOT DISTINCT FROM ? "
        "AND type_code IS NOT DISTINCT FROM ? AND device_type IS NOT DISTINCT FROM ? AND firmware IS NOT DISTINCT FROM ? "
        "AND operation IS NOT DISTINCT FROM ? AND profile IS NOT DISTINCT FROM ? AND profile_sha256 IS NOT DISTINCT FROM ? "
        "AND groups IS NOT DISTINCT FROM ? AND result IS NOT DISTINCT FROM ? AND details IS NOT DISTINCT FROM ? LIMIT 1"));
    for (const HistoryRecord& r : records) {
        const std::array<QVariant, kColumnCount> values = RecordValues(r);
        for (size_t i = 0; i < values.size(); ++i)
            kept.bindValue(static_cast<int>(i), values[i]);
        if (!Run(kept, failure, false))
            return failure;
        if (kept.next()) {
            ++report.recordsKept;
            continue;
        }
        if (r.operation == kOperationSerial)
            conflict(r.typeCode, r.serial, r.time + " (" + r.operatorName + ")");
        if (auto inserted = Insert(r))
            return inserted;
        ++report.records;
    }
    return std::nullopt;
}

}  // namespace pmv::history
