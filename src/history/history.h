#pragma once

#include "ini/file_error.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pmv::history {

// One operation on one instrument, as the history keeps it.
struct HistoryRecord {
    std::string time;          // local ISO time, filled by Record when empty
    std::string operatorName;  // the login, filled by Record when empty
    int32_t serial = 0;        // serial number 0..65535
    int32_t typeCode = 0;      // otk_type, printed in front of the serial number
    int32_t deviceType = 0;    // proc_ver
    std::string firmware;      // "1.1.2"
    std::string operation;     // one of the kOperation... words
    std::string profile;       // the profile's file name
    std::string profileSha256;
    std::string groups;   // "ch1,ch2,relay,general"
    uint32_t result = 0;  // the operation's error code, 0 for success
    std::string details;  // values written, coefficients, ...
};

inline constexpr const char* kOperationWrite = "запись";
inline constexpr const char* kOperationVerify = "проверка";
// What the instrument held before "Записать все", kept so that it can be written back.
inline constexpr const char* kOperationHeld = "до записи";
inline constexpr const char* kOperationSerial = "номер и дата";
inline constexpr const char* kOperationPassport = "паспорт";
inline constexpr const char* kOperationCalibration = "градуировка";
inline constexpr const char* kOperationFactoryReset = "заводские настройки";
// Production: the number taken before anything is sent, and the outcome of the whole run.
inline constexpr const char* kOperationReservation = "резерв номера";
inline constexpr const char* kOperationProduction = "выпуск";

// The operation's ASCII name for scripts ("write", "verify", ...); the Russian word is for people.
std::string OperationCode(const std::string& operation);

inline constexpr int32_t kLastSerial = 65535;

// Which rows to list: a serial number, and local dates "YYYY-MM-DD" from and to (inclusive).
struct HistoryFilter {
    std::optional<int32_t> serial = std::nullopt;
    std::optional<int32_t> typeCode = std::nullopt;
    std::string fromDate = {}, toDate = {};
};

// The step of the history's own in which the system refused one of its files.
enum class HistoryFileStep {
    Create,    // making the history's file (a fresh one beside it, then moved under its name)
    StartNew,  // taking the turn to begin a new history (the file NAME.lock)
    SetAside,  // moving a damaged file, its -wal or -shm under a name of their own
};

// A failure of the history: the words of the store (SQLite's or the server's, in the history's
// Russian), or one of its files the system refused, with the errno it gave; the window and
// pmvctl put that into words (binding::HistoryErrorText).
struct HistoryError {
    HistoryError() = default;
    HistoryError(std::string words) : text(std::move(words)) {}
    HistoryError(const char* words) : text(words) {}
    HistoryError(HistoryFileStep during, std::string historyPath, ini::FileError refused)
        : step(during), where(std::move(historyPath)), file(std::move(refused))
    {}

    std::string text;  // empty for a file the system refused
    HistoryFileStep step = HistoryFileStep::Create;
    std::string where;  // the history's file
    std::optional<ini::FileError> file;

    bool operator==(const HistoryError&) const = default;
};

// What ReserveSerial did.
struct SerialReservation {
    enum class Outcome {
        Reserved,
        HistoryFailed,   // the history cannot be opened, read or written, or is not ours
        HistoryCorrupt,  // not a sound database: StartNew is the operator's decision
        Used,            // the number named was given before (or its passport exists)
        RangeEnd,        // every number of the type code up to 65535 is given
    };
    Outcome outcome = Outcome::HistoryFailed;
    int32_t serial = 0;
    HistoryError message;  // the failure's reason, or when and how the number was used
};

// One line of the history's check for `pmvctl doctor` and the window's connection check: what was
// found, in Russian, the command that mends it, and the kind's name, the same in every release.
struct HistoryFinding {
    std::string id;
    bool ok = true;
    std::string text;
    std::string fix = {};
};

// What moving a station's file into the server did (History::Import).
struct ImportReport {
    int records = 0;                     // rows added
    int recordsKept = 0;                 // rows the server held already: a file moved before
    int serials = 0;                     // numbers added
    std::vector<std::string> conflicts;  // a number given both at the station and on the server
};

// The history of every instrument: the rows of each operation and the production numbers taken,
// in one store the whole program shares (the file of the work folder, or a database server
// several stations share). One transaction per record, so a kill in the middle of a record loses
// at most that record. Production numbers are reserved in it before anything is sent; the store
// itself refuses a number reserved twice. A store that is not this program's is refused and left as
// it is. A history that cannot be reached or written is an error message, never a reason to stop
// the operation it records (production excepted).
class History {
public:
    virtual ~History() = default;

    // Where the rows go, as messages name it: the file's path or the server's address.
    virtual std::string where() const = 0;

    // Begins the opening aside, for a caller that will record after a long job on the line; the
    // next call waits for it. Nothing happens when the history is open.
    virtual void OpenAside() = 0;

    // nullopt, or the failure.
    virtual std::optional<HistoryError> Record(HistoryRecord record) = 0;
    virtual std::optional<HistoryError> Query(const HistoryFilter& filter, std::vector<HistoryRecord>& rows) = 0;

    // The number production would take next for the type code, without taking it: one above
    // every number reserved or written, 1 in an empty history.
    virtual SerialReservation PeekNextSerial(int32_t typeCode) = 0;
    // Takes a number in one transaction, with a history row of its own, so that no other station
    // and no later run gets it again, whatever happens after. Without `serial`, the next number;
    // `taken` tells of a number that is used outside the history (its passport exists) and is
    // skipped, or refused when named. A named number that is used is refused unless `reuse`.
    // `row` carries the operator, profile and details of the reservation's row.
    virtual SerialReservation ReserveSerial(int32_t typeCode, std::optional<int32_t> serial, bool reuse,
                                            const std::function<bool(int32_t)>& taken, HistoryRecord row) = 0;
    // What a reservation of the named number would be refused for, without taking it: Used with
    // when and how it was given, or why the history cannot tell; nullopt when it is free. For a
    // number written by hand, whose row of the write then makes it used.
    virtual std::optional<SerialReservation> CheckSerial(int32_t typeCode, int32_t serial) = 0;

    // True when the last failure was a store that is not sound (a damaged file).
    virtual bool corrupt() const = 0;
    // Sets a damaged store aside and begins a new, empty history (the operator's decision).
    virtual std::optional<HistoryError> StartNew() = 0;
    // A message about the store set aside by StartNew, once.
    virtual std::optional<std::string> TakeNotice() = 0;

    // Which store this is and whether it serves: for a server also whether it is reached, lets
    // the user in and holds this program's tables. Creates nothing.
    virtual std::vector<HistoryFinding> Check() = 0;

    // Moves the rows and numbers of a station's history file into this history; rows it holds
    // already are not added twice, and a number given on both sides stays as this history has it.
    virtual std::optional<HistoryError> Import(const std::string& file, ImportReport& report) = 0;
};

// Where a history lives, as dev.dat, `pmvctl --history` and the window's settings name it: empty
// for the file history.sqlite in the work folder, else a PostgreSQL address.
bool IsServerAddress(std::string_view where);

// The store `where` names; `folder` is the work folder of the file history.
std::unique_ptr<History> MakeHistory(const std::string& where, const std::string& folder);

// The history the program uses: the store its settings name, replaced when they change, so that
// everything holding the history keeps it.
class SelectedHistory final : public History {
public:
    SelectedHistory(std::string where, std::string folder);

    // Uses the store `where` names from now on (nothing happens when it is the one in use).
    void Use(const std::string& where);
    const std::string& address() const { return where_; }

    std::string where() const override { return store_->where(); }
    void OpenAside() override { store_->OpenAside(); }
    std::optional<HistoryError> Record(HistoryRecord record) override { return store_->Record(std::move(record)); }
    std::optional<HistoryError> Query(const HistoryFilter& filter, std::vector<HistoryRecord>& rows) override
    {
        return store_->Query(filter, rows);
    }
    SerialReservation PeekNextSerial(int32_t typeCode) override { return store_->PeekNextSerial(typeCode); }
    SerialReservation ReserveSerial(int32_t typeCode, std::optional<int32_t> serial, bool reuse,
                                    const std::function<bool(int32_t)>& taken, HistoryRecord row) override
    {
        return store_->ReserveSerial(typeCode, serial, reuse, taken, std::move(row));
    }
    std::optional<SerialReservation> CheckSerial(int32_t typeCode, int32_t serial) override
    {
        return store_->CheckSerial(typeCode, serial);
    }
    bool corrupt() const override { return store_->corrupt(); }
    std::optional<HistoryError> StartNew() override { return store_->StartNew(); }
    std::optional<std::string> TakeNotice() override { return store_->TakeNotice(); }
    std::vector<HistoryFinding> Check() override { return store_->Check(); }
    std::optional<HistoryError> Import(const std::string& file, ImportReport& report) override
    {
        return store_->Import(file, report);
    }

private:
    std::string where_;
    std::string folder_;
    std::unique_ptr<History> store_;
};

inline constexpr const char* kHistoryFileName = "history.sqlite";

// "012-00345": an instrument's type code and serial number, as the passport, the production's
// file names and the history show them.
std::string InstrumentNumber(int32_t typeCode, int32_t serial);

// An instrument number as typed: its type code, its serial number, or both.
struct InstrumentId {
    std::optional<int32_t> typeCode;
    std::optional<int32_t> serial;
};

// What a number typed without a dash names: a serial number where the rows of an instrument are
// looked for, a type code where production picks the serial number itself.
enum class LoneNumber {
    Serial,
    TypeCode,
};

// "012-00345" or "12-345": the type code 0..255 and the serial number 0..65535 around one dash,
// in decimal digits with or without leading zeros; one number alone is the part `lone` names.
// Signs, spaces, hexadecimal numbers and anything after the number are refused.
std::optional<InstrumentId> ParseInstrumentNumber(std::string_view text, LoneNumber lone);
// The parts alone, by the same rules.
std::optional<int32_t> ParseTypeCode(std::string_view text);
std::optional<int32_t> ParseSerialNumber(std::string_view text);

// The hexadecimal SHA-256 of a file's bytes; empty when it cannot be read.
std::string FileSha256(const std::string& path);

// The login of the user running the program.
std::string OperatorLogin();

}  // namespace pmv::history
