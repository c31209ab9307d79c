#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pmv {

// One operation on one instrument, as the history keeps it.
struct HistoryRecord {
    std::string time;        // local ISO time, filled by Record when empty
    std::string operatorName;  // the login, filled by Record when empty
    int32_t serial = 0;      // serial number 0..65535
    int32_t typeCode = 0;    // otk_type, printed in front of the serial number
    int32_t deviceType = 0;  // proc_ver
    std::string firmware;    // "1.1.2"
    std::string operation;   // one of the kOperation... words
    std::string profile;     // the profile's file name
    std::string profileSha256;
    std::string groups;      // "ch1,ch2,relay,general"
    uint32_t result = 0;     // the operation's error code, 0 for success
    std::string details;     // values written, coefficients, ...
};

inline constexpr const char* kOperationWrite = "запись";
inline constexpr const char* kOperationVerify = "проверка";
inline constexpr const char* kOperationSerial = "номер и дата";
inline constexpr const char* kOperationPassport = "паспорт";
inline constexpr const char* kOperationCalibration = "градуировка";
inline constexpr const char* kOperationFactoryReset = "заводские настройки";

// Which rows to list: a serial number, and local dates "YYYY-MM-DD" from and to (inclusive).
struct HistoryFilter {
    std::optional<int32_t> serial = std::nullopt;
    std::optional<int32_t> typeCode = std::nullopt;
    std::string fromDate = {}, toDate = {};
};

// The history of every instrument in an SQLite file: one transaction per record, WAL, so a
// kill in the middle of a record loses at most that record. A file that is not a sound
// database is set aside as NAME.corrupt-TIME and a new one begun; a history that cannot be
// opened or written is an error message, never a reason to stop the operation it records.
class History {
public:
    explicit History(std::string path);
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    const std::string& path() const { return path_; }

    // nullopt, or the message of a failure.
    std::optional<std::string> Record(HistoryRecord record);
    std::optional<std::string> Query(const HistoryFilter& filter, std::vector<HistoryRecord>& rows);
    // The highest serial number recorded for the type code, when there is one.
    std::optional<int32_t> LastSerial(int32_t typeCode);

    // A message about the file set aside at opening, once.
    std::optional<std::string> TakeNotice();

private:
    std::optional<std::string> Open();

    std::string path_;
    std::string connection_;
    bool open_ = false;
    std::optional<std::string> notice_;
};

inline constexpr const char* kHistoryFileName = "history.sqlite";

// The rows for a spreadsheet: UTF-8, ';' between fields, a heading line.
std::string HistoryCsv(const std::vector<HistoryRecord>& rows);

// The hexadecimal SHA-256 of a file's bytes; empty when it cannot be read.
std::string FileSha256(const std::string& path);

// The login of the user running the program.
std::string OperatorLogin();

}  // namespace pmv
