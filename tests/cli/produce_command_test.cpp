// pmvctl produce as real processes, each station talking to a pmvsim process of its own: the
// refusals before anything is sent, two stations in one folder, runs killed after their number
// was reserved.
#include "temp_dir.h"
#include "wait_for.h"

#include "history/sqlite_history.h"
#include "model/factory_profiles.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <thread>

namespace pmv {
namespace {

using namespace std::chrono_literals;

class ProduceCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        ASSERT_EQ(model::CreateDefaultProfiles(), std::nullopt);
    }
    void TearDown() override
    {
        for (QProcess* p : simulators_) {
            p->kill();
            p->waitForFinished();
            delete p;
        }
        std::filesystem::current_path(previous_);
    }

    // A simulated instrument behind the link `name` in the work folder.
    std::string StartSimulator(const std::string& name, std::vector<std::string> options = {})
    {
        const std::string link = dir_.file(name);
        QStringList args{"--link", QString::fromStdString(link)};
        for (const std::string& o : options)
            args << QString::fromStdString(o);
        auto* p = new QProcess;
        p->start(QStringLiteral(PMVSIM_PATH), args);
        simulators_.push_back(p);
        EXPECT_TRUE(test::WaitFor([&] { return std::filesystem::exists(link); }, 2000)) << name;
        return link;
    }

    static QProcess* StartPmvctl(const std::string& link, const QStringList& arguments)
    {
        auto* p = new QProcess;
        p->start(QStringLiteral(PMVCTL_PATH), QStringList{"--port", QString::fromStdString(link)} + arguments);
        return p;
    }
    static QProcess* StartProduce(const std::string& link, const QStringList& options = {"--serial", "12"})
    {
        return StartPmvctl(link, QStringList{"produce", "--profile", "PMV7706.prf", "--yes"} + options);
    }
    static constexpr int kSerialUsed = 66;

    // Runs one produce (or, not `produce`, the pmvctl command of `options`) to its end: the exit status, stderr in
    // `err_`, stdout in `out_`, and in `sent_` whether the simulator printed any request meanwhile.
    int Produce(const std::string& link, const QStringList& options, bool produce = true)
    {
        QProcess* sim = simulators_.back();
        while (sim->waitForReadyRead(50))
            sim->readAllStandardOutput();
        QProcess* run = produce ? StartProduce(link, options) : StartPmvctl(link, options);
        EXPECT_TRUE(run->waitForFinished(60'000));
        err_ = run->readAllStandardError().toStdString();
        out_ = run->readAllStandardOutput().toStdString();
        const int status = run->exitCode();
        delete run;
        sim->waitForReadyRead(100);
        const QByteArray printed = sim->readAllStandardOutput();
        sent_ = !printed.isEmpty();
        return status;
    }

    // The number of the passport a run printed ("./012-00042.pdf"), or -1.
    // Two productions run at once: each ends with 0 and a number no run had before.
    static void ExpectBothProducedNewNumbers(QProcess* (&runs)[2], std::set<int>& numbers)
    {
        for (QProcess* run : runs) {
            ASSERT_TRUE(run->waitForFinished(60'000));
            const QByteArray err = run->readAllStandardError();
            EXPECT_EQ(run->exitCode(), 0) << err.toStdString();
            const int serial = AnnouncedSerial(run->readAllStandardOutput());
            EXPECT_GT(serial, 0) << err.toStdString();
            EXPECT_TRUE(numbers.insert(serial).second) << "number " << serial << " given twice";
            delete run;
        }
    }

    static int AnnouncedSerial(const QByteArray& out)
    {
        const auto match = QRegularExpression(QStringLiteral("012-(\\d{5})\\.pdf\n")).match(QString::fromUtf8(out));
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    }

    std::vector<history::HistoryRecord> Rows(const char* operation)
    {
        history::SqliteHistory history(dir_.file(history::kHistoryFileName));
        std::vector<history::HistoryRecord> rows, chosen;
        EXPECT_EQ(history.Query({}, rows), std::nullopt);
        for (const history::HistoryRecord& r : rows)
            if (r.operation == operation)
                chosen.push_back(r);
        return chosen;
    }

    test::TempDir dir_;
    std::filesystem::path previous_;
    std::vector<QProcess*> simulators_;
    std::string err_;
    std::string out_;
    bool sent_ = false;
};

TEST_F(ProduceCommand, StartsOnlyWithANumberNoOneElseHasAndATrustworthyHistory)
{
    const std::string line = StartSimulator("line");
    constexpr int kFileFailure = 14, kUsed = 66, kRangeEnd = 67;

    // A history that cannot be used: nothing is sent, whatever the reason.
    std::filesystem::create_directory(dir_.file("history.sqlite"));
    EXPECT_EQ(Produce(line, {"--serial", "12"}), kFileFailure) << err_;
    EXPECT_FALSE(sent_);
    EXPECT_NE(err_.find("history.sqlite"), std::string::npos) << err_;
    EXPECT_NE(err_.find("в прибор ничего не записано"), std::string::npos) << err_;
    std::filesystem::remove(dir_.file("history.sqlite"));

    const std::string junk(4096, '\x5A');
    test::WriteFileBytes(dir_.file("history.sqlite"), junk);
    EXPECT_EQ(Produce(line, {"--serial", "12"}), kFileFailure) << err_;
    EXPECT_FALSE(sent_);
    EXPECT_EQ(test::ReadFileBytes(dir_.file("history.sqlite")), junk) << "never set aside without --new-history";
    EXPECT_NE(err_.find("--new-history"), std::string::npos) << err_;
    ASSERT_EQ(Produce(line, {"--serial", "12-7", "--new-history"}), 0) << err_;
    EXPECT_TRUE(sent_);
    EXPECT_NE(err_.find("сохранен как"), std::string::npos) << err_;
    EXPECT_TRUE(std::filesystem::exists(dir_.file("012-00007.pdf")));
    // A run that ends prints its passport into the pipe, and has closed its history, not left it
    // to be recovered by the next.
    EXPECT_EQ(out_, "./012-00007.pdf\n");
    EXPECT_FALSE(std::filesystem::exists(dir_.file("history.sqlite-wal")));

    // A number given before, or its passport, only with --reuse; a passport is never overwritten.
    EXPECT_EQ(Produce(line, {"--serial", "12-7"}), kUsed) << err_;
    EXPECT_FALSE(sent_);
    EXPECT_NE(err_.find("012-00007"), std::string::npos) << err_;
    EXPECT_NE(err_.find("--reuse"), std::string::npos) << err_;
    std::filesystem::create_directory(dir_.file("passports"));
    test::WriteFileBytes(dir_.file("passports/012-00008.pdf"), "%PDF earlier");
    EXPECT_EQ(Produce(line, {"--serial", "12-8", "--passport-dir", "passports"}), kUsed) << err_;
    EXPECT_FALSE(sent_);
    EXPECT_EQ(test::ReadFileBytes(dir_.file("passports/012-00008.pdf")), "%PDF earlier");
    ASSERT_EQ(Produce(line, {"--serial", "12-7", "--reuse"}), 0) << err_;

    // The next number skips a passport that exists; the range ends, it never wraps.
    ASSERT_EQ(Produce(line, {"--serial", "12", "--passport-dir", "passports"}), 0) << err_;
    EXPECT_EQ(out_, "passports/012-00009.pdf\n") << err_;
    EXPECT_EQ(test::ReadFileBytes(dir_.file("passports/012-00008.pdf")), "%PDF earlier");
    ASSERT_EQ(Produce(line, {"--serial", "12-65535", "--passport-dir", "new/folder"}), 0) << err_;
    EXPECT_TRUE(std::filesystem::exists(dir_.file("new/folder/012-65535.pdf"))) << "the folder is made first";
    EXPECT_EQ(Produce(line, {"--serial", "12"}), kRangeEnd) << err_;
    EXPECT_FALSE(sent_);

    EXPECT_EQ(Rows(history::kOperationReservation).size(), 4u);
    const std::vector<history::HistoryRecord> outcomes = Rows(history::kOperationProduction);
    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_EQ(outcomes[0].serial, 7);
    EXPECT_EQ(outcomes[0].result, 0u);
}

TEST_F(ProduceCommand, TwoStationsStartedTogetherNeverGetOneNumber)
{
    const std::string lines[2] = {StartSimulator("line-a", {"--quiet"}), StartSimulator("line-b", {"--quiet"})};
    constexpr int kRounds = 20;
    std::set<int> numbers;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        QProcess* runs[2] = {StartProduce(lines[0]), StartProduce(lines[1])};
        ASSERT_NO_FATAL_FAILURE(ExpectBothProducedNewNumbers(runs, numbers));
    }
    EXPECT_EQ(numbers.size(), 2u * kRounds);
    EXPECT_EQ(Rows(history::kOperationReservation).size(), 2u * kRounds);
}

TEST_F(ProduceCommand, ARunKilledAfterItsReservationNeverLetsTheNumberComeBack)
{
    // Paced like a 9600-baud line: the serial number is written seconds after the reservation.
    constexpr int kKills = 3;
    std::set<int> numbers;
    for (int round = 0; round < kKills; ++round) {
        // An instrument of its own each round: a run killed in the middle of a request leaves the
        // instrument a torn frame, which is not what this test is about.
        const std::string line = StartSimulator("line-" + std::to_string(round), {"--quiet", "--baud", "9600"});
        QProcess* run = StartProduce(line);
        const size_t reservedBefore = Rows(history::kOperationReservation).size();
        EXPECT_TRUE(test::WaitFor([&] { return Rows(history::kOperationReservation).size() != reservedBefore; }, 20'000));
        // rules: real time: each round kills the run at another point of pmvsim's paced line
        std::this_thread::sleep_for(std::chrono::milliseconds(150 * round));
        ::kill(static_cast<pid_t>(run->processId()), SIGKILL);
        ASSERT_TRUE(run->waitForFinished(10'000));
        delete run;
        const std::vector<history::HistoryRecord> reserved = Rows(history::kOperationReservation);
        ASSERT_EQ(reserved.size(), reservedBefore + 1) << "round " << round;
        EXPECT_TRUE(numbers.insert(reserved.back().serial).second) << "number " << reserved.back().serial << " came back";
    }
    EXPECT_EQ(numbers.size(), static_cast<size_t>(kKills));
    EXPECT_TRUE(Rows(history::kOperationSerial).empty()) << "every kill fell between the reservation and the serial number";
    for (const history::HistoryRecord& r : Rows(history::kOperationProduction))
        ADD_FAILURE() << "a killed run has an outcome: " << r.serial << " code " << r.result << " " << r.details;
}

// The riskiest moment: the number is in the instrument and the run dies before its history row of
// the write. The reservation alone keeps the number from production and from a write by hand.
TEST_F(ProduceCommand, ARunKilledRightAfterTheSerialNumberWentInNeverLetsTheNumberComeBack)
{
    constexpr int kKills = 3;
    std::set<int> numbers;
    for (int round = 0; round < kKills; ++round) {
        SCOPED_TRACE(round);
        // Paced like a 57600-baud line, so that the kill comes before the production date is written.
        const std::string line = StartSimulator("line-" + std::to_string(round), {"--baud", "57600"});
        QProcess* sim = simulators_.back();
        QProcess* run = StartProduce(line);
        // The type code is the number's last register: the simulator prints a request once answered.
        QByteArray printed;
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!printed.contains("1;38;00000E;") && std::chrono::steady_clock::now() < deadline)
            if (sim->waitForReadyRead(5))
                printed += sim->readAllStandardOutput();
        ::kill(static_cast<pid_t>(run->processId()), SIGKILL);
        ASSERT_TRUE(run->waitForFinished(10'000));
        delete run;
        ASSERT_TRUE(printed.contains("1;38;00000E;")) << "the serial number was never written";

        const std::vector<history::HistoryRecord> reserved = Rows(history::kOperationReservation);
        ASSERT_EQ(reserved.size(), static_cast<size_t>(round) + 1);
        const int serial = reserved.back().serial;
        EXPECT_TRUE(numbers.insert(serial).second) << "number " << serial << " given twice";
        ASSERT_EQ(Produce(line, {"serial", "--json"}, false), 0) << err_;
        EXPECT_NE(out_.find("\"serial\":" + std::to_string(serial) + ","), std::string::npos)
            << "the instrument holds the reserved number: " << out_;
        EXPECT_EQ(Produce(line, {"serial", "--set", QString::number(serial), "12", "01.02.2026"}, false), kSerialUsed) << err_;
    }
    EXPECT_EQ(numbers.size(), static_cast<size_t>(kKills));
}

// Two stations find one corrupt history and both begin a new one, round after round, with one
// passport folder: every corrupt file is kept aside with its bytes, and no number comes twice,
// also across the new histories, since each goes on above the passports.
TEST_F(ProduceCommand, TwoStationsBeginningANewHistoryTogetherLoseNoFileAndGiveNoNumberTwice)
{
    const std::string lines[2] = {StartSimulator("line-a", {"--quiet"}), StartSimulator("line-b", {"--quiet"})};
    constexpr int kRounds = 8;
    const QStringList options{"--serial", "12", "--new-history", "--passport-dir", "passports"};
    std::set<int> numbers;
    std::set<std::string> junks;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(dir_.file(std::string(history::kHistoryFileName) + suffix));
        const std::string junk = "round " + std::to_string(round) + std::string(4096, 'Z');
        test::WriteFileBytes(dir_.file(history::kHistoryFileName), junk);
        junks.insert(junk.substr(0, 8));
        QProcess* runs[2] = {StartProduce(lines[0], options), StartProduce(lines[1], options)};
        ASSERT_NO_FATAL_FAILURE(ExpectBothProducedNewNumbers(runs, numbers));
        std::set<std::string> kept;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            if (entry.path().filename().string().starts_with("history.sqlite.corrupt-")) {
                const std::string bytes = test::ReadFileBytes(entry.path().string());
                kept.insert(bytes.substr(0, 8) + (bytes.ends_with(std::string(4096, 'Z')) ? "" : " torn"));
            }
        EXPECT_EQ(kept, junks) << "every corrupt file set aside whole, none overwritten";
    }
    EXPECT_EQ(numbers.size(), 2u * kRounds);
}

}  // namespace
}  // namespace pmv
