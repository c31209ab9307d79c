#pragma once

#include "history/history.h"

#include <future>

class QString;

namespace pmv::history {

// The history in an SQLite file, WAL. A file is looked at before anything writes to it: one
// without this program's tables (an empty one too) is refused and left as it is, and one that is
// not a sound database is left alone until StartNew sets it aside, since a new history restarts
// the numbering, which only the operator may decide.
class SqliteHistory final : public History {
public:
    explicit SqliteHistory(std::string path);
    ~SqliteHistory() override;
    SqliteHistory(const SqliteHistory&) = delete;
    SqliteHistory& operator=(const SqliteHistory&) = delete;

    const std::string& path() const { return path_; }
    std::string where() const override { return path_; }

    // Checks the file on a thread of its own while the caller goes on: the check reads the whole
    // file, which takes longer the more instruments it holds. The next call waits for it and then
    // only opens the file; after a failed check it checks again and reports as usual.
    void OpenAside() override;

    std::optional<HistoryError> Record(HistoryRecord record) override;
    std::optional<HistoryError> Query(const HistoryFilter& filter, std::vector<HistoryRecord>& rows) override;
    SerialReservation PeekNextSerial(int32_t typeCode) override;
    SerialReservation ReserveSerial(int32_t typeCode, std::optional<int32_t> serial, bool reuse,
                                    const std::function<bool(int32_t)>& taken, HistoryRecord row) override;
    std::optional<SerialReservation> CheckSerial(int32_t typeCode, int32_t serial) override;

    // True when the last failure was a file that is not a sound database.
    bool corrupt() const override { return corrupt_; }
    // Sets a corrupt file aside as NAME.corrupt-TIME (with "-2", "-3", ... when that name is
    // taken), its -wal and -shm with it, and begins a new, empty history. Stations doing it at
    // once take turns (NAME.lock): the one that finds the file sound again keeps it.
    std::optional<HistoryError> StartNew() override;
    std::optional<std::string> TakeNotice() override;

    std::vector<HistoryFinding> Check() override;
    // A file moves into a server only.
    std::optional<HistoryError> Import(const std::string& file, ImportReport& report) override;

    // One production number as the file keeps it, for a move into a server.
    struct NumberRow {
        int32_t typeCode = 0;
        int32_t serial = 0;
        std::string reserved, operatorName, profile;
        std::optional<int64_t> outcome;
    };
    // Every row and number of an existing file, which is never created nor changed for it.
    std::optional<HistoryError> ReadAll(std::vector<HistoryRecord>& records, std::vector<NumberRow>& numbers);

private:
    // Waits for the opening begun by OpenAside.
    void Settle();
    std::optional<HistoryError> Open();
    // `checked`: the file was checked and set up on another connection; this one only opens it.
    std::optional<HistoryError> OpenUntilNotBusy(const QString& connection, bool checked);
    std::optional<HistoryError> OpenOnce(const QString& connection, bool checked);
    // Checks the file through a read-only connection before anything writes to it: a sound
    // database with this program's tables, or none yet, when a new history is made.
    std::optional<HistoryError> Look(const QString& connection);
    // Makes a new history under a temporary name and moves it into place whole, so that no
    // station finds it empty or half made; when another station's is there first, that one stays.
    std::optional<HistoryError> CreateFresh(const QString& connection);
    std::optional<HistoryError> Begin();
    std::optional<HistoryError> Commit();
    void Rollback();
    std::optional<HistoryError> Insert(const HistoryRecord& r);
    // Why a number counts as given (`why` empty when it does not), or the failure to read it.
    std::optional<HistoryError> WhyUsed(int32_t typeCode, int32_t number, const std::function<bool(int32_t)>& taken,
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

}  // namespace pmv::history
