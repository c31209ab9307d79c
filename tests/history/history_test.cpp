#include "temp_dir.h"

#include "history/history.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace pmv {
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
    History history(dir.file(kHistoryFileName));
    ASSERT_EQ(history.LastSerial(12), std::nullopt);
    ASSERT_EQ(history.Record(Row(12, 100, kOperationWrite)), std::nullopt);
    ASSERT_EQ(history.Record(Row(12, 101, kOperationWrite, 2)), std::nullopt);
    HistoryRecord dated = Row(7, 100, kOperationSerial);
    dated.time = "2025-01-31T10:00:00";
    ASSERT_EQ(history.Record(dated), std::nullopt);
    EXPECT_EQ(history.LastSerial(12), 101);
    EXPECT_EQ(history.LastSerial(7), 100);

    std::vector<HistoryRecord> rows;
    ASSERT_EQ(history.Query({.serial = 100}, rows), std::nullopt);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_FALSE(rows[0].operatorName.empty());
    EXPECT_EQ(rows[0].time.size(), 19u) << rows[0].time;
    EXPECT_EQ(rows[0].details, "Канал 1 · Уставка I=50; \"ровно\"");
    ASSERT_EQ(history.Query({.fromDate = "2025-01-01", .toDate = "2025-01-31"}, rows), std::nullopt);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].typeCode, 7);

    const std::string csv = HistoryCsv(rows);
    EXPECT_EQ(csv.substr(csv.find("\r\n") + 2, 20), "2025-01-31T10:00:00;");
    EXPECT_NE(csv.find(";\"Канал 1 · Уставка I=50; \"\"ровно\"\"\"\r\n"), std::string::npos) << csv;

    // A second program on the same file sees every committed row.
    History other(dir.file(kHistoryFileName));
    ASSERT_EQ(other.Query({}, rows), std::nullopt);
    EXPECT_EQ(rows.size(), 3u);
}

TEST(History, ACorruptFileIsSetAsideAndAnUnwritableOneIsAMessage)
{
    test::TempDir dir;
    const std::string path = dir.file(kHistoryFileName);
    const std::string junk(8192, '\x5A');
    test::WriteFileBytes(path, junk);
    History history(path);
    ASSERT_EQ(history.Record(Row(1, 1, kOperationFactoryReset)), std::nullopt);
    const auto notice = history.TakeNotice();
    ASSERT_TRUE(notice);
    EXPECT_NE(notice->find("поврежден"), std::string::npos);
    EXPECT_EQ(history.TakeNotice(), std::nullopt) << "said once";
    int setAside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().filename().string().starts_with("history.sqlite.corrupt-")) {
            ++setAside;
            EXPECT_EQ(test::ReadFileBytes(entry.path().string()), junk);
        }
    EXPECT_EQ(setAside, 1);

    History nowhere(dir.file("no-such-folder/history.sqlite"));
    const auto failure = nowhere.Record(Row(1, 1, kOperationWrite));
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->find("no-such-folder"), std::string::npos);
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
        History history(path);
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

    History history(path);
    std::vector<HistoryRecord> rows;
    ASSERT_EQ(history.Query({.typeCode = 3}, rows), std::nullopt);
    EXPECT_EQ(history.TakeNotice(), std::nullopt) << "the file is sound";
    ASSERT_GE(rows.size(), static_cast<size_t>(committed));
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].serial, static_cast<int32_t>(i + 1));
}

}  // namespace
}  // namespace pmv
