#pragma once

#include "history/history.h"
#include "history/sqlite_history.h"

#include <QVariant>

#include <optional>
#include <string>
#include <utility>
#include <vector>

class QSqlQuery;

namespace pmv::history {

// A PostgreSQL server as a libpq URL names it: postgresql://[USER@]HOST[:PORT][/DATABASE][?KEY=VALUE&...].
// Empty parts are libpq's defaults (PGHOST, PGPORT, PGUSER, PGDATABASE, the login). A password
// never stands in the address: libpq takes it from ~/.pgpass or PGPASSWORD.
struct ServerAddress {
    std::string host;  // a name, an address, or a folder of the server's socket
    int port = 0;
    std::string user;
    std::string database;
    std::vector<std::pair<std::string, std::string>> options;

    // The parts as the connection will have them, for texts: libpq's defaults filled in.
    std::string ShownHost() const;
    int ShownPort() const;
    std::string ShownUser() const;
    std::string ShownDatabase() const;
};

// nullopt and `problem` set when the text is no address this program connects to.
std::optional<ServerAddress> ParseServerAddress(const std::string& text, std::string& problem);

// Seconds a station waits for a server that does not answer, unless the address says otherwise.
inline constexpr int kConnectTimeoutSeconds = 5;
// The version of the tables this release makes and reads; a later release migrates from it.
inline constexpr int kSchemaVersion = 1;

// The history on a PostgreSQL server that several stations share, through Qt's QPSQL driver.
// The tables are made on first use, beside a table of the schema's version. Numbers are taken under
// a lock of the numbers' table, so that each station's next number is above every other's, with
// the UNIQUE constraint behind it. A connection found broken is dropped: the call fails and the
// next one connects again.
class PostgresHistory final : public History {
public:
    explicit PostgresHistory(std::string address);
    ~PostgresHistory() override;
    PostgresHistory(const PostgresHistory&) = delete;
    PostgresHistory& operator=(const PostgresHistory&) = delete;

    std::string where() const override { return address_; }
    // A connection serves only the thread that made it, and a server's answer takes milliseconds.
    void OpenAside() override {}

    std::optional<HistoryError> Record(HistoryRecord record) override;
    std::optional<HistoryError> Query(const HistoryFilter& filter, std::vector<HistoryRecord>& rows) override;
    SerialReservation PeekNextSerial(int32_t typeCode) override;
    SerialReservation ReserveSerial(int32_t typeCode, std::optional<int32_t> serial, bool reuse,
                                    const std::function<bool(int32_t)>& taken, HistoryRecord row) override;
    std::optional<SerialReservation> CheckSerial(int32_t typeCode, int32_t serial) override;

    // A server's database is never set aside by the program: its administrator mends it.
    bool corrupt() const override { return false; }
    std::optional<HistoryError> StartNew() override;
    std::optional<std::string> TakeNotice() override { return std::nullopt; }

    std::vector<HistoryFinding> Check() override;
    std::optional<HistoryError> Import(const std::string& file, ImportReport& report) override;

private:
    // What the database holds of this program's tables.
    struct Schema {
        enum class State {
            Empty,    // none of them: made on first use
            Ours,     // every table as this release knows it, `version` at most its own
            Foreign,  // a table of that name and another shape, or only some of them
            Newer,    // made by a later release
        };
        State state = State::Empty;
        int version = 0;
        std::string detail;
    };

    std::optional<std::string> Open();
    std::optional<std::string> Connect();
    // Reads the tables' shapes; a failure to read comes back.
    std::optional<std::string> Inspect(Schema& schema);
    // Makes the tables in an empty database (stations starting together take turns) and refuses
    // one that is not this program's.
    std::optional<std::string> PrepareSchema();
    std::string NotOurs(const Schema& schema) const;

    // Runs a statement; false with `failure` set when it failed. A broken connection is closed.
    bool Run(QSqlQuery& query, std::string& failure, bool write);
    bool Run(const char* statement, std::string& failure, bool write);
    // Statements sent together in one round trip, up to the first that returns rows.
    bool RunAll(QSqlQuery& query, const QString& statements, std::string& failure, bool write);
    // The failure of a statement; false.
    bool Failed(QSqlQuery& query, std::string& failure, bool write);
    void Rollback();
    // Adds a row; `with`, a statement of another table run in the same statement first, its values
    // `withValues` in place of its "?"; `then`, a statement sent behind it (COMMIT); `ran`, the
    // query that ran, for its error.
    std::optional<std::string> Insert(const HistoryRecord& r, const char* with = nullptr,
                                      const std::vector<QVariant>& withValues = {}, const char* then = nullptr,
                                      QSqlQuery* ran = nullptr);
    // A value as an SQL literal, quoted by the driver: a statement with its values in it is one
    // round trip to the server, where a prepared one takes three (prepare, execute, deallocate).
    QString Literal(const QVariant& value) const;
    QString Filled(const char* statement, const std::vector<QVariant>& values) const;
    // The query of the highest number of the type code that counts as given.
    QString HighestUsed(int32_t typeCode) const;
    std::optional<std::string> WhyUsed(int32_t typeCode, int32_t number, const std::function<bool(int32_t)>& taken,
                                       std::string& why);
    std::optional<std::string> MoveIn(const std::vector<HistoryRecord>& records,
                                      const std::vector<SqliteHistory::NumberRow>& numbers, ImportReport& report);

    std::string address_;
    std::optional<ServerAddress> server_;
    std::string problem_;
    std::string connection_;
    bool open_ = false;
};

}  // namespace pmv::history
