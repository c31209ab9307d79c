// pmvctl produce as real processes, each station talking to a pmvsim process of its own: the
// refusals before anything is sent, two stations in one folder, runs killed after their number
// was reserved.
#include "postgres_server.h"
#include "temp_dir.h"
#include "wait_for.h"

#include "history/postgres_history.h"
#include "history/sqlite_history.h"
#include "model/factory_profiles.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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

    // Productions run at once: each ends with 0 and a number no run had before.
    template <size_t N>
    static void ExpectEachProducedANewNumber(QProcess* (&runs)[N], std::set<int>& numbers)
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

    // The number of the passport a run printed ("./012-00042.pdf"), or -1.
    static int AnnouncedSerial(const QByteArray& out)
    {
        const auto match = QRegularExpression(QStringLiteral("012-(\\d{5})\\.pdf\n")).match(QString::fromUtf8(out));
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    }

    std::vector<history::HistoryRecord> Rows(const char* operation)
    {
        history::SqliteHistory history(dir_.file(history::kHistoryFileName));
        return Chosen(history, operation);
    }

    static std::vector<history::HistoryRecord> Chosen(history::History& history, const char* operation)
    {
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
        ASSERT_NO_FATAL_FAILURE(ExpectEachProducedANewNumber(runs, numbers));
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
        EXPECT_TRUE(
            test::WaitFor([&] { return Rows(history::kOperationReservation).size() != reservedBefore; }, 20'000));
        // rules: real time: each round kills the run at another point of pmvsim's paced line
        std::this_thread::sleep_for(std::chrono::milliseconds(150 * round));
        ::kill(static_cast<pid_t>(run->processId()), SIGKILL);
        ASSERT_TRUE(run->waitForFinished(10'000));
        delete run;
        const std::vector<history::HistoryRecord> reserved = Rows(history::kOperationReservation);
        ASSERT_EQ(reserved.size(), reservedBefore + 1) << "round " << round;
        EXPECT_TRUE(numbers.insert(reserved.back().serial).second)
            << "number " << reserved.back().serial << " came back";
    }
    EXPECT_EQ(numbers.size(), static_cast<size_t>(kKills));
    EXPECT_TRUE(Rows(history::kOperationSerial).empty())
        << "every kill fell between the reservation and the serial number";
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
        EXPECT_EQ(Produce(line, {"serial", "--set", QString::number(serial), "12", "01.02.2026"}, false), kSerialUsed)
            << err_;
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
        ASSERT_NO_FATAL_FAILURE(ExpectEachProducedANewNumber(runs, numbers));
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

// The same stations with the history on a PostgreSQL server of the test's own, named in the
// dev.dat of their folder.
class ProduceOnServer : public ProduceCommand {
protected:
    void SetUp() override
    {
        ProduceCommand::SetUp();
        ASSERT_EQ(server_.failure(), "");
        database_ = server_.CreateDatabase();
        ASSERT_FALSE(database_.empty()) << server_.failure();
        url_ = server_.Url(database_);
        test::WriteFileBytes(dir_.file("dev.dat"), "[HISTORY]\r\nServer=" + url_ + "\r\n");
    }

    std::vector<history::HistoryRecord> ServerRows(const char* operation)
    {
        history::PostgresHistory history(url_);
        return Chosen(history, operation);
    }

    test::PostgresServer server_;
    std::string database_;
    std::string url_;
};

TEST_F(ProduceOnServer, FourStationsProducingTogetherNeverGetOneNumber)
{
    constexpr int kStations = 4, kRounds = 50;
    std::vector<std::string> lines;
    for (int i = 0; i < kStations; ++i)
        lines.push_back(StartSimulator("line-" + std::to_string(i), {"--quiet"}));
    std::set<int> numbers;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        QProcess* runs[kStations];
        for (int i = 0; i < kStations; ++i)
            runs[i] = StartProduce(lines[static_cast<size_t>(i)]);
        ASSERT_NO_FATAL_FAILURE(ExpectEachProducedANewNumber(runs, numbers));
    }
    EXPECT_EQ(numbers.size(), static_cast<size_t>(kStations * kRounds));
    EXPECT_EQ(*numbers.rbegin(), kStations * kRounds) << "no number skipped either";
    EXPECT_EQ(ServerRows(history::kOperationReservation).size(), static_cast<size_t>(kStations * kRounds));
    EXPECT_EQ(ServerRows(history::kOperationProduction).size(), static_cast<size_t>(kStations * kRounds));
    EXPECT_FALSE(std::filesystem::exists(dir_.file(history::kHistoryFileName))) << "the file history is not used";
}

// The server killed, or the run's connection cut, between the reservation and the serial number:
// the run stops with 14 before the number goes into the instrument, the number stays given, and
// the next run goes on with the next one.
TEST_F(ProduceOnServer, AServerKilledOrAConnectionCutAfterTheReservationFailsTheRunAndGivesNoNumberTwice)
{
    std::set<int> numbers, stopped;
    const std::string next = StartSimulator("line-next", {"--quiet"});
    for (const bool kill : {true, false, true, false}) {
        SCOPED_TRACE(kill ? "server killed" : "connection cut");
        // Paced like a 9600-baud line: the write takes seconds after the reservation.
        const std::string line =
            StartSimulator("line-" + std::to_string(numbers.size()), {"--quiet", "--baud", "9600"});
        const size_t before = ServerRows(history::kOperationReservation).size();
        QProcess* run = StartProduce(line);
        ASSERT_TRUE(test::WaitFor([&] { return ServerRows(history::kOperationReservation).size() > before; }, 20'000));
        const int reserved = ServerRows(history::kOperationReservation).back().serial;
        if (kill) {
            ASSERT_TRUE(server_.Kill()) << server_.failure();
        } else {
            ASSERT_TRUE(
                server_.Sql(database_, "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" +
                                           database_ + "' AND pid <> pg_backend_pid()"));
        }
        ASSERT_TRUE(run->waitForFinished(60'000));
        const std::string err = run->readAllStandardError().toStdString();
        EXPECT_EQ(run->exitCode(), 14) << err;
        EXPECT_TRUE(run->readAllStandardOutput().isEmpty()) << "no passport";
        EXPECT_NE(err.find("выпуск остановлен"), std::string::npos) << err;
        delete run;
        EXPECT_TRUE(numbers.insert(reserved).second) << "number " << reserved << " given twice";
        stopped.insert(reserved);
        if (kill) {
            ASSERT_TRUE(server_.Start()) << server_.failure();
        }

        ASSERT_EQ(Produce(line, {"serial", "--json"}, false), 0) << err_;
        EXPECT_EQ(out_.find("\"serial\":" + std::to_string(reserved) + ","), std::string::npos)
            << "the stopped run never wrote its number: " << out_;
        ASSERT_EQ(Produce(next, {"--serial", "12"}), 0) << err_;
        const int following = AnnouncedSerial(QByteArray::fromStdString(out_));
        EXPECT_TRUE(numbers.insert(following).second) << "number " << following << " given twice";
    }
    EXPECT_EQ(numbers.size(), 8u);
    for (const history::HistoryRecord& r : ServerRows(history::kOperationSerial))
        EXPECT_FALSE(stopped.count(r.serial)) << "a stopped run wrote its number " << r.serial;
    EXPECT_EQ(ServerRows(history::kOperationSerial).size(), 4u) << "only the runs that went on wrote a number";
}

// A station whose server is down, or does not answer, refuses production within seconds with the
// reason and sends nothing; doctor names the step; other commands work and say once that their
// row was not written.
TEST_F(ProduceOnServer, AStationWhoseServerIsDownRefusesWithinSecondsAndSendsNothing)
{
    const std::string line = StartSimulator("line");
    constexpr int kFileFailure = 14, kProblemFound = 2;
    ASSERT_TRUE(server_.Kill()) << server_.failure();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Produce(line, {"--serial", "12"}), kFileFailure) << err_;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(sent_);
    EXPECT_NE(err_.find(url_), std::string::npos) << err_;
    EXPECT_NE(err_.find("в прибор ничего не записано"), std::string::npos) << err_;

    // A host that takes the connection and never answers: connect_timeout, not the system's minutes.
    const int silentPort = test::FreePort();
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(silentPort));
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(silent, 8), 0);
    const QString silentUrl = QStringLiteral("postgresql://pmv@127.0.0.1:%1/pmv").arg(silentPort);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(Produce(line, {"--history", silentUrl, "produce", "--profile", "PMV7706.prf", "--yes", "--serial", "12"},
                      false),
              kFileFailure)
        << err_;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_FALSE(sent_);
    EXPECT_NE(err_.find(silentUrl.toStdString()), std::string::npos) << err_;
    close(silent);

    // A database of another program is left as it is.
    ASSERT_TRUE(server_.Start()) << server_.failure();
    const std::string foreign = server_.CreateDatabase();
    ASSERT_TRUE(server_.Sql(foreign, "CREATE TABLE serials (serial integer)"));
    EXPECT_EQ(Produce(line,
                      {"--history", QString::fromStdString(server_.Url(foreign)), "produce", "--profile", "PMV7706.prf",
                       "--yes", "--serial", "12"},
                      false),
              kFileFailure)
        << err_;
    EXPECT_FALSE(sent_);
    EXPECT_NE(err_.find("не является журналом приборов этой программы: таблица serials другого вида"),
              std::string::npos)
        << err_;
    ASSERT_TRUE(server_.Kill()) << server_.failure();

    EXPECT_EQ(Produce(line, {"doctor", "--json"}, false), kProblemFound) << out_;
    EXPECT_NE(out_.find("{\"id\":\"history_server\",\"topic\":\"history\",\"ok\":true"), std::string::npos) << out_;
    EXPECT_NE(out_.find("{\"id\":\"history_server_unreachable\",\"topic\":\"history\",\"ok\":false"), std::string::npos)
        << out_;

    ASSERT_EQ(Produce(line, {"write", "--yes", "PMV7706.prf"}, false), 0) << err_;
    EXPECT_TRUE(sent_);
    const size_t said = err_.find("Не удается подключиться к журналу приборов");
    ASSERT_NE(said, std::string::npos) << err_;
    EXPECT_EQ(err_.find("Не удается подключиться к журналу приборов", said + 1), std::string::npos)
        << "said once: " << err_;

    ASSERT_TRUE(server_.Start()) << server_.failure();
    EXPECT_EQ(Produce(line, {"doctor", "--json"}, false), 0) << out_;
    EXPECT_NE(out_.find("\"id\":\"history_schema_empty\""), std::string::npos) << out_;
}

// `pmvctl history` reads the server dev.dat or --history names; a station's file moves in once.
TEST_F(ProduceOnServer, TheHistoryIsReadFromTheServerAndAStationsFileMovesInOnce)
{
    const std::string line = StartSimulator("line", {"--quiet"});
    std::filesystem::create_directory(dir_.file("station"));
    {
        history::SqliteHistory station(dir_.file("station/history.sqlite"));
        ASSERT_EQ(station.ReserveSerial(12, 5, false, {}, {}).outcome, history::SerialReservation::Outcome::Reserved);
    }
    ASSERT_EQ(Produce(line, {"history", "--import", "station/history.sqlite"}, false), 0) << err_;
    EXPECT_NE(out_.find("записей 1, номеров 1"), std::string::npos) << out_;
    ASSERT_EQ(Produce(line, {"history", "--import", "station/history.sqlite"}, false), 0) << err_;
    EXPECT_NE(out_.find("записей 0, номеров 0; уже были там: записей 1"), std::string::npos) << out_;

    ASSERT_EQ(Produce(line, {"--serial", "12"}), 0) << err_;
    EXPECT_EQ(out_, "./012-00006.pdf\n") << "above the number the station gave";
    EXPECT_EQ(Produce(line, {"--serial", "12-5"}), kSerialUsed) << err_;
    EXPECT_NE(err_.find("012-00005"), std::string::npos) << err_;
    ASSERT_EQ(Produce(line, {"--serial", "12-5", "--reuse"}), 0) << err_;
    ASSERT_EQ(Produce(line, {"history", "--json"}, false), 0) << err_;
    EXPECT_NE(
        out_.find("\"instrument\":\"012-00005\",\"device_type\":0,\"firmware\":\"\",\"operation\":\"резерв номера\""),
        std::string::npos)
        << out_;
    EXPECT_NE(out_.find("\"instrument\":\"012-00006\""), std::string::npos) << out_;

    // Without a server named, the file of the folder; --history names one for a run.
    test::WriteFileBytes(dir_.file("dev.dat"), "[HISTORY]\r\nServer=\r\n");
    ASSERT_EQ(Produce(line, {"history"}, false), 0) << err_;
    EXPECT_EQ(out_, "");
    EXPECT_EQ(Produce(line, {"history", "--import", "station/history.sqlite"}, false), 64) << err_;
    ASSERT_EQ(Produce(line, {"--history", QString::fromStdString(url_), "history", "012-00006"}, false), 0) << err_;
    EXPECT_NE(out_.find("012-00006"), std::string::npos) << out_;
    EXPECT_EQ(Produce(line, {"--history", "postgresql://pmv:secret@db/pmv", "history"}, false), 64) << err_;
    EXPECT_NE(err_.find("~/.pgpass"), std::string::npos) << err_;
}

}  // namespace
}  // namespace pmv
