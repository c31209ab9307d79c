#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QString;

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
    std::string message;  // the failure's reason, or when and how the number was used
};

// The history of every instrument in an SQLite file: one transaction per record, WAL, so a
// kill in the middle of a record loses at most that record. Production numbers are reserved in
// it before anything is sent; the database itself refuses a number reserved twice. A file is
// looked at before anything writes to it: one without this program's tables (an empty one too)
// is refused and left as it is, and one that is not a sound database is left alone until StartNew
// sets it aside, since a new history restarts the numbering, which only the operator may decide. A history that cannot be opened or written is an
// error message, never a reason to stop the operation it records (production excepted).
class History {
public:
    explicit History(std::string path);
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    const std::string& path() const { return path_; }

    // Checks the file on a thread of its own while the caller goes on, for a caller that will
    // record after a long job on the line: the check reads the whole file, which takes longer the
    // more instruments it holds. The next call waits for it and then only opens the file; after a
    // failed check it checks again and reports as usual. Nothing happens when the file is open.
    void OpenAside();

    // nullopt, or the message of a failure.
    std::optional<std::string> Record(HistoryRecord record);
    std::optional<std::string> Query(const HistoryFilter& filter, std::vector<HistoryRecord>& rows);

    // The number production would take next for the type code, without taking it: one above
    // every number reserved or written, 1 in an empty history.
    SerialReservation PeekNextSerial(int32_t typeCode);
    // Takes a number in one transaction, with a history row of its own, so that no other station
    // and no later run gets it again, whatever happens after. Without `serial`, the next number;
    // `taken` tells of a number that is used outside the history (its passport exists) and is
    // skipped, or refused when named. A named number that is used is refused unless `reuse`.
    // `row` carries the operator, profile and details of the reservation's row.
    SerialReservation ReserveSerial(int32_t typeCode, std::optional<int32_t> serial, bool reuse,
                                    const std::function<bool(int32_t)>& taken, HistoryRecord row);
    // What a reservation of the named number would be refused for, without taking it: Used with
    // when and how it was given, or why the history cannot tell; nullopt when it is free. For a
    // number written by hand, whose row of the write then makes it used.
    std::optional<SerialReservation> CheckSerial(int32_t typeCode, int32_t serial);

    // True when the last failure was a file that is not a sound database.
    bool corrupt() const { return corrupt_; }
    // Sets a corrupt file aside as NAME.corrupt-TIME (with "-2", "-3", ... when that name is
    // taken), its -wal and -shm with it, and begins a new, empty history. Stations doing it at
    // once take turns (NAME.lock): the one that finds the file sound again keeps it.
    std::optional<std::string> StartNew();
    // A message about the file set aside by StartNew, once.
    std::optional<std::string> TakeNotice();

private:
    // Waits for the opening begun by OpenAside.
    void Settle();
    std::optional<std::string> Open();
    // `checked`: the file was checked and set up on another connection; this one only opens it.
    std::optional<std::string> OpenUntilNotBusy(const QString& connection, bool checked);
    std::optional<std::string> OpenOnce(const QString& connection, bool checked);
    // Checks the file through a read-only connection before anything writes to it: a sound
    // database with this program's tables, or none yet, when a new history is made.
    std::optional<std::string> Look(const QString& connection);
    // Makes a new history under a temporary name and moves it into place whole, so that no
    // station finds it empty or half made; when another station's is there first, that one stays.
    std::optional<std::string> CreateFresh(const QString& connection);
    std::optional<std::string> Begin();
    std::optional<std::string> Commit();
    void Rollback();
    std::optional<std::string> Insert(const HistoryRecord& r);
    // Why a number counts as given (`why` empty when it does not), or the failure to read it.
    std::optional<std::string> WhyUsed(int32_t typeCode, int32_t number, const std::function<bool(int32_t)>& taken,
                                       std::string& why);

    std::string path_;
    std::string connection_;
    bool open_ = false;
    bool corrupt_ = false;
    bool busy_ = false;
    std::optional<std::string> notice_;
    std::future<void> aside_;
    bool checkedAside_ = false;
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
