#include "captured_output.h"
#include "fakes.h"
#include "temp_dir.h"

#include "binding/bus.h"
#include "cli/pmvctl.h"
#include "cli/terminal_io.h"
#include "history/sqlite_history.h"
#include "ini/ini_file.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>

namespace pmv {
namespace {

// pmvctl in-process in a fresh folder against a cabinet of simulated instruments on one line.
class BusCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override
    {
        if (simulator_)
            simulator_->Stop();
        std::filesystem::current_path(previous_);
    }

    void StartLine(std::vector<uint32_t> addresses, std::function<void(const sim::Request&)> onRequest = {})
    {
        sim::SimOptions options;
        options.addresses = std::move(addresses);
        options.onRequest = std::move(onRequest);
        simulator_ = std::make_unique<sim::Simulator>(options);
        ASSERT_TRUE(simulator_->Start());
    }

    int Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--port", simulator_->DevicePath()});
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        std::istringstream in;
        cli::Console console{out, err, &in, false, false, &waits_};
        const int status = cli::RunPmvctl(args, console);
        out_ = test::Slurp(out);
        err_ = test::Slurp(err);
        return status;
    }

    std::vector<history::HistoryRecord> HistoryRows()
    {
        history::SqliteHistory history(history::kHistoryFileName);
        std::vector<history::HistoryRecord> rows;
        EXPECT_FALSE(history.Query({}, rows).has_value());
        return rows;
    }

    test::TempDir dir_;
    std::filesystem::path previous_;
    std::unique_ptr<sim::Simulator> simulator_;
    std::string out_, err_;
    test::TestClock waits_;
};

TEST_F(BusCommandTest, ScanAllListsEveryInstrumentWithItsIdentityAndTellsAnAddressConflict)
{
    StartLine({1, 5, 9, 9});
    simulator_->SetRegisterAt(5, 2, 1, 14, 12);
    ASSERT_EQ(Run({"--baud", "9600", "scan", "--all", "--json"}), cli::kConflictStatus) << err_;
    const QJsonArray found = QJsonDocument::fromJson(QByteArray::fromStdString(out_)).object()["found"].toArray();
    ASSERT_EQ(found.size(), 3) << out_;
    EXPECT_EQ(found[0].toObject()["address"].toInt(), 1);
    EXPECT_EQ(found[0].toObject()["serial"].toInt(), 1234);
    EXPECT_EQ(found[0].toObject()["number"].toString(), "047-01234");
    EXPECT_EQ(found[0].toObject()["model"].toString(), QString::fromUtf8("7703 Н Двухканальный"));
    EXPECT_EQ(found[0].toObject()["firmware"].toString(), "1.1.2");
    EXPECT_EQ(found[1].toObject()["number"].toString(), "012-01235");
    EXPECT_EQ(found[1].toObject()["type_code"].toInt(), 12);
    EXPECT_EQ(found[1].toObject()["model"].toString(), QString::fromUtf8("7700/01 Н Одноканальный"));
    EXPECT_EQ(found[2].toObject()["address"].toInt(), 9);
    EXPECT_TRUE(found[2].toObject()["conflict"].toBool());
    EXPECT_NE(err_.find("несколько приборов"), std::string::npos) << err_;

    // The table says the same; without the pair at 9 the scan succeeds.
    simulator_->Stop();
    StartLine({1, 5});
    ASSERT_EQ(Run({"--baud", "9600", "scan", "--all"}), 0) << err_;
    EXPECT_NE(out_.find("047-01234  1.1.2"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Приборов на линии: 2"), std::string::npos) << out_;
}

TEST_F(BusCommandTest, BusReadSavesEachInstrumentsProfileUnderItsNumberWithASummary)
{
    StartLine({2, 3, 7});
    simulator_->SetRegisterAt(3, 2, 1, 315, 5);
    // Two instruments with one number must not share a file.
    simulator_->SetRegisterAt(7, 2, 1, 11, 1234 % 256);
    std::filesystem::create_directory("backup");
    ASSERT_EQ(Run({"bus", "read", "backup"}), 0) << err_;
    const std::string second = test::ReadFileBytes(dir_.file("backup/047-01235.prf"));
    EXPECT_EQ(second.rfind("[CH1]\r\ndat=5\r\n", 0), 0u) << second;
    EXPECT_EQ(test::ReadFileBytes(dir_.file("backup/047-01234.prf")).rfind("[CH1]\r\ndat=17\r\n", 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(dir_.file("backup/047-01234.адрес 7.prf"))));
    const std::string summary = test::ReadFileBytes(dir_.file("backup/summary.txt"));
    EXPECT_NE(summary.find("адрес 3 (047-01235): выполнено"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Выполнено: 3 из 3"), std::string::npos) << summary;
    EXPECT_EQ(summary, out_);

    // A folder that is not there sends nothing.
    simulator_->ClearTranscript();
    EXPECT_EQ(Run({"bus", "read", "missing"}), 14);
    EXPECT_TRUE(simulator_->Transcript().empty());
}

// One instrument going silent in the middle of a batch write: the others are written and verified
// with their history rows, it is reported, and nothing else on the line is touched.
TEST_F(BusCommandTest, AnInstrumentGoingSilentMidBatchIsReportedWhileTheOthersAreDone)
{
    std::atomic<int> toFive{0};
    sim::Simulator* line = nullptr;
    StartLine({2, 5, 6, 7}, [&](const sim::Request& r) {
        if (r.address == 5 && ++toFive == 20)
            line->SetSilent(5, true);
    });
    line = simulator_.get();
    ASSERT_EQ(Run({"--address", "2", "read", "p.prf"}), 0) << err_;
    ini::WriteIniString(dir_.file("p.prf"), "CH1", "dat", "6");
    simulator_->ClearTranscript();
    const int status = Run({"bus", "write", "--yes", "--addresses", "2,5-6", "p.prf"});
    EXPECT_EQ(status, 2) << out_ << err_;
    EXPECT_NE(out_.find("адрес 2 (047-01234): выполнено"), std::string::npos) << out_;
    EXPECT_NE(out_.find("адрес 5 (047-01235): Прибор не ответил (ERR 2)"), std::string::npos) << out_;
    EXPECT_NE(out_.find("адрес 6 (047-01236): выполнено"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Выполнено: 2 из 3"), std::string::npos) << out_;
    EXPECT_EQ(simulator_->RegisterAt(2, 2, 1, 315), 6u);
    EXPECT_EQ(simulator_->RegisterAt(6, 2, 1, 315), 6u);
    EXPECT_EQ(simulator_->RestartCountAt(2), 1);
    EXPECT_EQ(simulator_->RestartCountAt(5), 0) << "cut off before its restart";
    // Address 7 was not named: nothing went to it.
    EXPECT_EQ(simulator_->RegisterAt(7, 2, 1, 315), 17u);
    for (const sim::Request& r : simulator_->Transcript())
        EXPECT_TRUE(r.address == 2 || r.address == 5 || r.address == 6) << r.text;

    // Each instrument's rows name it; the silent one has its failed write.
    std::vector<std::pair<int32_t, std::string>> rows;
    for (const history::HistoryRecord& r : HistoryRows())
        rows.emplace_back(r.serial, r.operation + ":" + std::to_string(r.result));
    std::sort(rows.begin(), rows.end());
    const std::vector<std::pair<int32_t, std::string>> expected{
        {1234, "запись:0"}, {1234, "проверка:0"}, {1235, "запись:2"}, {1236, "запись:0"}, {1236, "проверка:0"}};
    EXPECT_EQ(rows, expected);
}

TEST_F(BusCommandTest, CtrlCStopsTheBatchBetweenInstrumentsAndSaysWhichWereDone)
{
    StartLine({1, 2, 3}, [](const sim::Request& r) {
        // The restart command of the first instrument: its write is nearly done.
        if (r.address == 1 && r.bank == 1 && r.memType == 1 && r.reg == 0)
            std::raise(SIGINT);
    });
    ASSERT_EQ(Run({"--address", "2", "read", "p.prf"}), 0) << err_;
    simulator_->ClearTranscript();
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGINT, nullptr, &previous), 0);
    cli::TerminalProgress::CatchInterrupt();
    const int status = Run({"bus", "write", "--yes", "--addresses", "1-3", "p.prf"});
    sigaction(SIGINT, &previous, nullptr);
    EXPECT_EQ(status, 20) << out_ << err_;
    EXPECT_NE(out_.find("адрес 1 (047-01234): выполнено"), std::string::npos) << out_;
    EXPECT_NE(out_.find("адрес 2: не начато"), std::string::npos) << out_;
    EXPECT_NE(out_.find("адрес 3: не начато"), std::string::npos) << out_;
    for (const sim::Request& r : simulator_->Transcript())
        EXPECT_EQ(r.address, 1u) << r.text;
}

TEST_F(BusCommandTest, MonitorGivesOneRowARoundWithEveryInstrumentAndBadListsAreRefused)
{
    StartLine({4, 8});
    ASSERT_EQ(Run({"bus", "monitor", "--addresses", "4,8", "--count", "2", "--json"}), 0) << err_;
    std::istringstream lines(out_);
    int rounds = 0;
    for (std::string line; std::getline(lines, line); ++rounds) {
        const QJsonArray each =
            QJsonDocument::fromJson(QByteArray::fromStdString(line)).object()["instruments"].toArray();
        ASSERT_EQ(each.size(), 2) << line;
        EXPECT_EQ(each[0].toObject()["code"].toInt(), 0);
        EXPECT_TRUE(each[0].toObject().contains("CH1"));
        EXPECT_EQ(each[1].toObject()["address"].toInt(), 8);
        EXPECT_EQ(each[1].toObject()["code"].toInt(), 0);
    }
    EXPECT_EQ(rounds, 2);

    ASSERT_EQ(Run({"bus", "monitor", "--addresses", "4", "--count", "1", "--csv-format", "c"}), 0) << err_;
    EXPECT_EQ(out_.rfind("Время,Адрес 4 К1,Адрес 4 К2\n", 0), 0u) << out_;

    // An instrument gone silent has its code and no values in each row; the answers it owes keep
    // no other instrument's values from the rows, round after round.
    simulator_->SetSilent(8, true);
    ASSERT_EQ(Run({"bus", "monitor", "--addresses", "4,8,9", "--count", "3", "--interval", "100", "--json"}), 0)
        << err_;
    std::istringstream silent(out_);
    rounds = 0;
    for (std::string line; std::getline(silent, line); ++rounds) {
        const QJsonArray each =
            QJsonDocument::fromJson(QByteArray::fromStdString(line)).object()["instruments"].toArray();
        ASSERT_EQ(each.size(), 3) << line;
        EXPECT_EQ(each[0].toObject()["code"].toInt(), 0) << line;
        EXPECT_TRUE(each[0].toObject().contains("CH1")) << line;
        EXPECT_EQ(each[1].toObject()["code"].toInt(), 2) << line;
        EXPECT_FALSE(each[1].toObject().contains("CH1")) << line;
        EXPECT_EQ(each[2].toObject()["code"].toInt(), 2) << line;
    }
    EXPECT_EQ(rounds, 3);

    for (const char* bad : {"5-2", "300", "1,,2", "a"})
        EXPECT_EQ(Run({"bus", "monitor", "--addresses", bad}), cli::kUsageStatus) << bad;
    EXPECT_EQ(Run({"bus", "erase", "x"}), cli::kUsageStatus);
    EXPECT_EQ(binding::ParseAddressList("2,5-7,5"), (std::vector<uint32_t>{2, 5, 6, 7}));
}

}  // namespace
}  // namespace pmv
