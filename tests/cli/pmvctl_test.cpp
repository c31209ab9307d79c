#include "captured_output.h"
#include "fakes.h"
#include "reboot_checks.h"
#include "temp_dir.h"

#include "binding/settings_diff.h"
#include "cli/command_table.h"
#include "cli/pmvctl.h"
#include "cli/session.h"
#include "cli/terminal_io.h"
#include "device/output_test.h"
#include "history/sqlite_history.h"
#include "ini/ini_file.h"
#include "link/exchange.h"
#include "model/factory_profiles.h"
#include "model/profile.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <sstream>
#include <thread>

namespace pmv {
namespace {

// pmvctl run in-process in a fresh working directory against the simulated instrument.
class PmvctlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        ASSERT_TRUE(simulator_.Start());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    int Run(std::vector<std::string> args, const std::string& input = "")
    {
        args.insert(args.begin(), {"--port", simulator_.DevicePath()});
        return RunRaw(args, input);
    }

    int RunRaw(const std::vector<std::string>& args, const std::string& input = "")
    {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        std::istringstream in(input);
        cli::Console console{out, err, &in, false, !input.empty(), &waits_};
        const int status = cli::RunPmvctl(args, console);
        out_ = test::Slurp(out);
        err_ = test::Slurp(err);
        return status;
    }

    bool Sent(int bank, int memType, int reg) const
    {
        for (const auto& r : simulator_.Transcript())
            if (r.bank == bank && r.memType == memType && r.reg == reg)
                return true;
        return false;
    }

    test::TempDir dir_;
    std::filesystem::path previous_;
    sim::Simulator simulator_;
    std::string out_, err_;
    test::TestClock waits_;
};

TEST_F(PmvctlTest, ReadWritesTheInstrumentsValuesIntoANewProfile)
{
    simulator_.SetRegister(2, 1, 315, 3);
    simulator_.SetFloatRegister(2, 29, 55.5f);
    simulator_.SetRegister(2, 1, 338, 120);
    ASSERT_EQ(Run({"--verbose", "read", "x.prf"}), 0) << err_;
    const std::string profile = test::ReadFileBytes(dir_.file("x.prf"));
    EXPECT_EQ(profile.rfind("[CH1]\r\ndat=3\r\n", 0), 0u) << profile;
    EXPECT_NE(profile.find("th1= 55.5000\r\n"), std::string::npos) << profile;
    EXPECT_NE(profile.find("reg_int=120\r\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir_.file("dev.dat")));
    EXPECT_NE(err_.find("Чтение типа датчика"), std::string::npos);
}

TEST_F(PmvctlTest, ReadOfSelectedGroupsKeepsTheProfilesOtherKeys)
{
    test::WriteFileBytes(dir_.file("p.prf"), "[CH1]\r\ndat=5\r\n[Custom]\r\nkeep=1\r\n");
    const std::string before = test::ReadFileBytes(dir_.file("p.prf"));
    simulator_.SetRegister(2, 1, 316, 9);
    ASSERT_EQ(Run({"read", "--groups", "ch2", "p.prf"}), 0) << err_;
    const std::string profile = test::ReadFileBytes(dir_.file("p.prf"));
    EXPECT_EQ(profile.rfind("[CH1]\r\ndat=5\r\n", 0), 0u) << profile;
    EXPECT_NE(profile.find("[Custom]\r\nkeep=1\r\n"), std::string::npos);
    EXPECT_NE(profile.find("[CH2]\r\ndat=9\r\n"), std::string::npos);
    EXPECT_FALSE(Sent(2, 1, 315));
    EXPECT_FALSE(Sent(2, 1, 325)) << "relay group not selected";
    EXPECT_TRUE(Sent(2, 1, 337)) << "the regulator is always read";
}

TEST_F(PmvctlTest, GroupsActAsTheOnlyTickedBoxes)
{
    const auto generalRequests = [this] {
        int n = 0;
        for (const auto& r : simulator_.Transcript())
            n += r.bank == 2 && r.memType == 1 && (r.reg == 3 || r.reg == 4);
        return n;
    };
    // Every group selected in the profile, channel 2 on the command line.
    test::WriteFileBytes(dir_.file("all.prf"),
                         "[CH1]\r\nselect=1\r\n[CH2]\r\nselect=1\r\n[RELE]\r\nselect=1\r\n[GEN]\r\ngen_select=1\r\n");
    ASSERT_EQ(Run({"read", "--groups", "ch2", "all.prf"}), 0) << err_;
    EXPECT_EQ(simulator_.Transcript().size(), 26u);
    EXPECT_EQ(generalRequests(), 0);
    const std::string saved = test::ReadFileBytes(dir_.file("all.prf"));
    EXPECT_NE(saved.find("gen_select=0\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("[CH1]\r\nselect=0\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("[CH2]\r\nselect=1\r\n"), std::string::npos) << saved;

    simulator_.ClearTranscript();
    ASSERT_EQ(Run({"write", "--yes", "--groups", "ch1", "all.prf"}), 0) << err_;
    EXPECT_EQ(generalRequests(), 0) << "device type and error display written";
    EXPECT_TRUE(Sent(2, 1, 315));

    // Nothing selected in the profile, the general group on the command line.
    test::WriteFileBytes(dir_.file("none.prf"), "[GEN]\r\ngen_select=0\r\n");
    simulator_.ClearTranscript();
    ASSERT_EQ(Run({"read", "--groups", "general", "none.prf"}), 0) << err_;
    EXPECT_EQ(generalRequests(), 2);
    EXPECT_FALSE(Sent(2, 1, 315));
}

TEST_F(PmvctlTest, FailedReadLeavesTheProfileAsItWas)
{
    test::WriteFileBytes(dir_.file("p.prf"), "[CH1]\r\ndat=5\r\n");
    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = -1;
    refuse.status = 0x0006;
    simulator_.InjectFault(refuse);
    EXPECT_EQ(Run({"read", "p.prf"}), 3);
    EXPECT_NE(err_.find("Прибор не смог разобрать команду (ERR 3)"), std::string::npos) << err_;
    EXPECT_EQ(test::ReadFileBytes(dir_.file("p.prf")), "[CH1]\r\ndat=5\r\n");
}

TEST_F(PmvctlTest, WriteOfAProfileAndReadBackGiveTheSameValues)
{
    test::WriteFileBytes(dir_.file("w.prf"), "[CH1]\r\ndat=17\r\nth1=42.25\r\nth_type1=2\r\n[CH2]\r\nns=4\r\n"
                                             "[RELE]\r\nrel0_msk0=1\r\n[GEN]\r\nproc_ver=1\r\n");
    ASSERT_EQ(Run({"write", "--yes", "--defaults", "w.prf"}), 0) << err_;
    EXPECT_FLOAT_EQ(simulator_.FloatRegister(2, 29), 42.25f);
    EXPECT_EQ(simulator_.Register(2, 1, 327), 2u);
    EXPECT_EQ(simulator_.Register(2, 1, 318), 4u);
    EXPECT_EQ(simulator_.RestartCount(), 1);

    ASSERT_EQ(Run({"read", "r.prf"}), 0) << err_;
    const std::string back = test::ReadFileBytes(dir_.file("r.prf"));
    EXPECT_NE(back.find("th1= 42.2500\r\n"), std::string::npos) << back;
    EXPECT_NE(back.find("th_type1=2\r\n"), std::string::npos);
    EXPECT_NE(back.find("rel0_msk0=1\r\n"), std::string::npos);
}

TEST_F(PmvctlTest, FactoryProfileWrittenAndReadBack)
{
    ASSERT_FALSE(model::CreateDefaultProfiles());
    model::SettingsModel written;
    ASSERT_FALSE(model::LoadProfile(dir_.file("PMV7706.prf"), written).error);
    ASSERT_EQ(Run({"write", "PMV7706.prf", "--yes"}), 0) << err_;
    ASSERT_EQ(Run({"read", "back.prf"}), 0) << err_;
    model::SettingsModel back;
    ASSERT_FALSE(model::LoadProfile(dir_.file("back.prf"), back).error);
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(back.channel[ch].dat, written.channel[ch].dat);
        EXPECT_FLOAT_EQ(back.channel[ch].th1, written.channel[ch].th1);
        EXPECT_EQ(back.channel[ch].th_type2, written.channel[ch].th_type2);
        EXPECT_EQ(back.channel[ch].reg_int, written.channel[ch].reg_int);
    }
    EXPECT_EQ(back.rele, written.rele);
    EXPECT_EQ(back.general.proc_ver, written.general.proc_ver);

    EXPECT_EQ(Run({"write", "missing.prf", "--yes"}), 14);
    EXPECT_NE(err_.find("missing.prf"), std::string::npos);
}

TEST_F(PmvctlTest, WriteRefusedByACheckSendsNothing)
{
    // A relay acting on channel 2 of a one-channel instrument: the check asks, No stops the write.
    test::WriteFileBytes(dir_.file("w.prf"), "[RELE]\r\nrel0_msk1=1\r\n[GEN]\r\nproc_ver=0\r\n");
    EXPECT_EQ(Run({"write", "--defaults", "w.prf"}), 17);
    EXPECT_TRUE(simulator_.Transcript().empty());
    EXPECT_NE(err_.find("Ответ: нет"), std::string::npos) << err_;
}

TEST_F(PmvctlTest, AHandEditedProfileWithValuesItCannotHoldSendsNothing)
{
    ASSERT_EQ(Run({"read", "full.prf"}), 0) << err_;
    ini::IniFile file = ini::IniFile::Load(dir_.file("full.prf"));
    file.set("CH1", "th1", "5O.0");
    file.set("CH1", "dat", "30");
    file.set("CH2", "his1", "0x32");
    file.set("GEN", "proc_ver", "");
    ASSERT_EQ(file.save(dir_.file("bad.prf")), std::nullopt);
    simulator_.ClearTranscript();
    for (const std::vector<std::string>& command : {std::vector<std::string>{"write", "--yes", "--verify", "bad.prf"},
                                                    {"produce", "--profile", "bad.prf", "--serial", "12", "--yes"}}) {
        EXPECT_EQ(Run(command), 14) << command[0];
        EXPECT_TRUE(simulator_.Transcript().empty()) << command[0];
        for (const char* named : {"[CH1] th1, строка ", ": \"5O.0\" — не число", "[CH1] dat, строка ",
                                  "[CH2] his1, строка ", "[GEN] proc_ver, строка "})
            EXPECT_NE(err_.find(named), std::string::npos) << command[0] << ": " << named << "\n" << err_;
    }
    EXPECT_EQ(Run({"diff", "bad.prf"}), 14) << "a comparison with a misread value says nothing true";

    file.set("CH1", "th1", "50,5");
    file.set("CH1", "dat", "17");
    file.set("CH2", "his1", "1");
    file.set("GEN", "proc_ver", "1");
    ASSERT_EQ(file.save(dir_.file("comma.prf")), std::nullopt);
    ASSERT_EQ(Run({"write", "--yes", "--verify", "comma.prf"}), 0) << err_;
    EXPECT_FLOAT_EQ(simulator_.FloatRegister(2, 29), 50.5f);
}

TEST_F(PmvctlTest, AProfileLackingKeysOfTheWrittenGroupsNeedsDefaults)
{
    test::WriteFileBytes(dir_.file("th1.prf"), "[CH2]\r\nth1=5\r\n");
    EXPECT_EQ(Run({"write", "--yes", "th1.prf"}), 14);
    EXPECT_TRUE(simulator_.Transcript().empty());
    EXPECT_NE(err_.find("нет 55 настроек записываемых групп: в прибор будут записаны значения по умолчанию"),
              std::string::npos)
        << err_;
    EXPECT_NE(err_.find("--defaults"), std::string::npos);
    EXPECT_EQ(Run({"write", "--yes", "--groups", "ch2", "th1.prf"}), 14);
    EXPECT_NE(err_.find("нет 25 настроек"), std::string::npos) << "channel 2 and the regulator: " << err_;

    ASSERT_EQ(Run({"write", "--yes", "--defaults", "th1.prf"}), 0) << err_;
    EXPECT_FLOAT_EQ(simulator_.FloatRegister(2, 33), 5.0f);
}

TEST_F(PmvctlTest, ExitStatusesAndUsage)
{
    EXPECT_EQ(RunRaw({}), cli::kUsageStatus);
    EXPECT_EQ(RunRaw({"bogus"}), cli::kUsageStatus);
    EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 4) << "the problem and three lines of usage";
    EXPECT_EQ(Run({"read", "--groups", "ch3", "x.prf"}), cli::kUsageStatus);
    EXPECT_EQ(Run({"get", "3", "byte", "1"}), cli::kUsageStatus);
    EXPECT_EQ(RunRaw({"--baud", "1200", "restart"}), cli::kUsageStatus);
    EXPECT_EQ(Run({"read", "--help"}), 0);
    EXPECT_NE(out_.find("pmvctl read"), std::string::npos);
    EXPECT_TRUE(simulator_.Transcript().empty());

    EXPECT_EQ(RunRaw({"--port", dir_.file("no-such-device"), "restart"}), 2);
    EXPECT_NE(err_.find("Невозможно открыть последовательный порт"), std::string::npos);
    EXPECT_NE(err_.find("Устройства " + dir_.file("no-such-device") + " нет"), std::string::npos) << err_;
    // The device came from --port: the message names that, not dev.dat, and no listing of adapters.
    EXPECT_NE(err_.find("--port"), std::string::npos) << err_;
    EXPECT_EQ(err_.find("dev.dat"), std::string::npos) << err_;
    EXPECT_EQ(err_.find("ls -l"), std::string::npos) << err_;

    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = -1;
    refuse.status = 0x0006;
    simulator_.InjectFault(refuse);
    EXPECT_EQ(Run({"set", "2", "byte", "4", "1"}), 4);
    EXPECT_NE(err_.find("Слишком большой операнд (ERR 4)"), std::string::npos);
}

TEST_F(PmvctlTest, OptionValuesFollowEqualsAndAnErrorPrintsItsCommandsUsage)
{
    ASSERT_EQ(
        RunRaw({"--port=" + simulator_.DevicePath(), "--address=1", "--baud=9600", "read", "--groups=ch2", "x.prf"}), 0)
        << err_;
    EXPECT_FALSE(Sent(2, 1, 315)) << "channel 1 not read";
    EXPECT_TRUE(Sent(2, 1, 316));
    EXPECT_EQ(Run({"read", "--groups=ch3", "x.prf"}), cli::kUsageStatus);
    EXPECT_EQ(Run({"read", "--json=yes", "x.prf"}), cli::kUsageStatus);
    EXPECT_NE(err_.find("у --json нет значения"), std::string::npos) << err_;
    EXPECT_EQ(RunRaw({"--quiet=1", "serial"}), cli::kUsageStatus);
    EXPECT_EQ(RunRaw({"--colour=1", "serial"}), cli::kUsageStatus);
    EXPECT_NE(err_.find("неизвестный параметр --colour"), std::string::npos) << err_;

    // The command's own usage, not the list of every command's.
    const auto usageOf = [this](const std::string& command) {
        return "Использование: pmvctl " + command + " " + cli::FindCommand(command)->usage + "\n";
    };
    for (const std::vector<std::string>& args : {std::vector<std::string>{"history", "--from", "2026-02-30"},
                                                 {"history", "--csv", "--json"},
                                                 {"scan", "--yes"},
                                                 {"scan", "--addresses=9-1"},
                                                 {"get", "3", "byte", "1"},
                                                 {"produce", "--serial", "12"},
                                                 {"monitor", "--count=0"},
                                                 {"test", "walk"},
                                                 {"calib", "read", "1", "extra"},
                                                 {"read"}}) {
        EXPECT_EQ(Run(args), cli::kUsageStatus) << args[0];
        EXPECT_NE(err_.find(usageOf(args[0])), std::string::npos) << err_;
        EXPECT_EQ(err_.find("КОМАНДА"), std::string::npos) << err_;
    }
    EXPECT_TRUE(simulator_.Transcript().size() == 26u) << "only the first read reached the instrument";
}

TEST_F(PmvctlTest, OutputThatCannotBeWrittenIsAnErrorWhateverTheCommand)
{
    ASSERT_EQ(Run({"serial", "--set", "1", "12", "05.03.2026"}), 0) << err_;
    ASSERT_EQ(Run({"read", "r.prf"}), 0) << err_;
    const auto runIntoFullDisk = [this](std::vector<std::string> args, bool line = true) {
        if (line)
            args.insert(args.begin(), {"--port", simulator_.DevicePath()});
        std::FILE* out = std::fopen("/dev/full", "w");
        std::FILE* err = std::tmpfile();
        std::istringstream in;
        cli::Console console{out, err, &in, false, false, &waits_};
        const int status = cli::RunPmvctl(args, console);
        std::fclose(out);
        err_ = test::Slurp(err);
        return status;
    };
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                                 {"read", "--help"},
                                                 {"history", "--csv"},
                                                 {"history", "--json"},
                                                 {"history"},
                                                 {"serial", "--json"},
                                                 {"report", "--text", "r.prf"},
                                                 {"read", "--json", "j.prf"}}) {
        EXPECT_EQ(runIntoFullDisk(args, args[0] != "history"), cli::kOutputFailedStatus) << args[0];
        EXPECT_NE(err_.find("pmvctl: стандартный вывод не записывается: "), std::string::npos) << err_;
    }
    // A watch without end stops at the first line nobody gets.
    simulator_.ClearTranscript();
    EXPECT_EQ(runIntoFullDisk({"monitor", "--json", "--interval", "100"}), cli::kOutputFailedStatus);
    EXPECT_LE(simulator_.Transcript().size(), 12u) << "one poll";
    // A command that failed keeps its own status.
    EXPECT_EQ(runIntoFullDisk({"--address", "9", "serial", "--json"}), 2);
}

TEST_F(PmvctlTest, RawRegistersSerialAndServiceCommands)
{
    ASSERT_EQ(Run({"set", "2", "long", "29", "f:12.5"}), 0) << err_;
    EXPECT_FLOAT_EQ(simulator_.FloatRegister(2, 29), 12.5f);
    ASSERT_EQ(Run({"get", "2", "long", "29"}), 0);
    EXPECT_EQ(out_, "0x41480000 1095237632 f:12.5\n");
    ASSERT_EQ(Run({"set", "2", "byte", "0x13B", "$10"}), 0);
    EXPECT_EQ(simulator_.Register(2, 1, 315), 16u);
    ASSERT_EQ(Run({"get", "1", "block", "0", "13"}), 0);
    EXPECT_EQ(out_.size(), 13u * 3);

    ASSERT_EQ(Run({"serial", "--set", "1234", "47", "28.11.2009"}), 0) << err_;
    EXPECT_EQ(simulator_.Register(2, 1, 11), 210u);
    EXPECT_EQ(simulator_.Register(2, 1, 12), 4u);
    EXPECT_EQ(simulator_.Register(2, 1, 19), 9u);
    ASSERT_EQ(Run({"serial"}), 0);
    EXPECT_EQ(out_, "Заводской номер: 1234\nТип: 047\nДата изготовления: 28.11.2009\n");
    EXPECT_EQ(Run({"serial", "--set", "70000", "47", "28.11.2009"}), cli::kUsageStatus);

    EXPECT_EQ(Run({"factory-reset"}), cli::kNotConfirmedStatus);
    EXPECT_EQ(simulator_.FactoryResetCount(), 0) << "no terminal and no --yes: the answer is No";
    EXPECT_EQ(Run({"factory-reset", "--no"}), cli::kNotConfirmedStatus);
    EXPECT_EQ(Run({"factory-reset"}, "н\n"), cli::kNotConfirmedStatus);
    EXPECT_EQ(simulator_.FactoryResetCount(), 0);
    EXPECT_EQ(Run({"factory-reset"}, "д\n"), 0);
    EXPECT_EQ(simulator_.FactoryResetCount(), 1);
    EXPECT_EQ(Run({"factory-reset", "--yes"}), 0);
    EXPECT_EQ(simulator_.FactoryResetCount(), 2);

    ASSERT_EQ(Run({"test", "run", "--count", "3"}), 0) << err_;
    EXPECT_EQ(simulator_.Register(1, 1, 5), 0u) << "the walk ends with all outputs off";
    ASSERT_EQ(Run({"test", "select", "9"}), 0);
    EXPECT_EQ(simulator_.Register(1, 1, 6), 2u);
}

// The monitor and the endless output walk slept on the real clock, so that no test could drive
// their pace: the wait between polls is the interval less the poll's own time, and a stop during
// a wait ends the monitor at once and the walk after the step it was waiting for.
TEST_F(PmvctlTest, MonitorAndOutputWalkWaitOnTheSessionClockAndStopInAWait)
{
    ASSERT_EQ(Run({"monitor", "--count", "3", "--interval", "60000"}), 0) << err_;
    EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 3) << out_;
    EXPECT_GT(waits_.waitedMs, 2 * 60000 - 10000) << "a poll takes far less than 5 s";
    EXPECT_LE(waits_.waitedMs, 2 * 60000);

    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGINT, nullptr, &previous), 0);
    cli::TerminalProgress::CatchInterrupt();
    waits_.waits = 0;
    waits_.onWait = [](int wait) {
        if (wait == 3)
            std::raise(SIGINT);
    };
    const int monitor = Run({"monitor", "--count", "2", "--interval", "60000"});
    const std::string monitorOut = out_;
    const int monitorWaits = waits_.waits;
    waits_.waits = 0;
    waits_.waitedMs = 0;
    const int walk = Run({"test", "run"});
    sigaction(SIGINT, &previous, nullptr);

    EXPECT_EQ(monitor, 0) << err_;
    EXPECT_EQ(std::count(monitorOut.begin(), monitorOut.end(), '\n'), 1) << "stopped in the first wait: " << monitorOut;
    EXPECT_EQ(monitorWaits, 3);
    EXPECT_EQ(walk, 0) << err_;
    EXPECT_EQ(waits_.waits, 3);
    EXPECT_EQ(waits_.waitedMs, 3 * int64_t{device::OutputTest::kTimerIntervalMs}) << "the window's pace";
    size_t steps = 0;
    for (size_t at = 0; (at = err_.find("Выход ", at)) != std::string::npos; at += 1)
        ++steps;
    EXPECT_EQ(steps, 4u) << err_;
}

TEST_F(PmvctlTest, MonitorPrintsEveryPollGoesOnAfterAFailureAndLogsMeasurements)
{
    sim::LiveValues live;
    live.value[0] = 21.5f;
    live.value[1] = 12345.0f;  // shown clamped, as on the page
    live.status[1] = 9;
    live.relays = 0x02;
    live.signals[0] = 0x05;
    simulator_.SetLiveBlock(sim::EncodeLiveBlock(live));
    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = 2;  // both tries of the first poll
    refuse.status = 0x0006;
    simulator_.InjectFault(refuse);

    ASSERT_EQ(Run({"monitor", "--count", "3", "--interval", "100"}), 0) << err_;
    std::vector<std::string> lines;
    std::istringstream text(out_);
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << out_;
    EXPECT_NE(lines[0].find("(ERR 4)"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].substr(12),
              "  К1  21.5000 Нормальное измерение  К2 10000.0000 Обрыв  Реле 0 1  Сигналы 101 000");
    EXPECT_EQ(lines[1][2], ':');
    // dev.dat's default keeps the measurement log: every second poll, as on the page.
    const std::string log = test::ReadFileBytes(dir_.file("IZM.txt"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;

    ASSERT_EQ(Run({"monitor", "--count", "2", "--interval", "100", "--csv"}), 0) << err_;
    EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 3);
    EXPECT_NE(out_.find(";21,5000;Нормальное измерение;10000,0000;Обрыв;0;1;1;0;1;0;0;0\r\n"), std::string::npos)
        << out_;

    EXPECT_EQ(Run({"monitor", "--interval", "5"}), cli::kUsageStatus);

    // Not one poll answered: the watch failed.
    refuse.count = -1;
    simulator_.InjectFault(refuse);
    EXPECT_EQ(Run({"monitor", "--count", "2", "--interval", "100"}), 4);
    EXPECT_NE(err_.find("(ERR 4)"), std::string::npos) << err_;
    EXPECT_EQ(Run({"monitor", "--count", "1", "--csv"}), 4);
}

TEST_F(PmvctlTest, DiffListsWhatTheInstrumentHoldsOtherwise)
{
    ASSERT_FALSE(model::CreateDefaultProfiles());
    ASSERT_EQ(Run({"write", "--yes", "PMV7706.prf"}), 0) << err_;
    ASSERT_EQ(Run({"diff", "PMV7706.prf"}), 0) << out_ << err_;
    EXPECT_TRUE(out_.empty());

    simulator_.SetFloatRegister(2, 29, 45.0f);                                     // setpoint 1 of channel 1
    simulator_.SetFloatRegister(2, 33, 46.0f);                                     // setpoint 1 of channel 2
    simulator_.SetFloatRegister(2, 37, simulator_.FloatRegister(2, 37) + 0.005f);  // within tolerance
    simulator_.SetRegister(2, 1, 3, 0);                                            // device type
    simulator_.ClearTranscript();
    ASSERT_EQ(Run({"diff", "PMV7706.prf"}), cli::kDiffersStatus) << err_;
    EXPECT_EQ(out_.find("Канал 1 · Уставка I: в профиле "), 0u) << out_;
    EXPECT_NE(out_.find(", в приборе 45.0000\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Общие · Тип прибора: в профиле 2, в приборе 0\n"), std::string::npos) << out_;
    EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 3) << out_;
    for (const auto& r : simulator_.Transcript())
        EXPECT_FALSE(r.value) << "a comparison writes nothing";

    // Only the named groups are compared.
    ASSERT_EQ(Run({"diff", "--groups", "ch2,relay", "PMV7706.prf"}), cli::kDiffersStatus) << err_;
    EXPECT_EQ(out_.find("Канал 2 · Уставка I: "), 0u) << out_;
    EXPECT_EQ(Run({"diff", "--groups", "relay", "PMV7706.prf"}), 0) << out_;

    EXPECT_EQ(Run({"diff", "missing.prf"}), 14);
    simulator_.InjectFault(sim::Fault{sim::Fault::Kind::Status, -1, 0, 0x0006});
    EXPECT_EQ(Run({"diff", "PMV7706.prf"}), 3) << "the read's code";
}

TEST_F(PmvctlTest, VerifyCatchesAnInstrumentThatLosesAValueAtItsRestart)
{
    ASSERT_FALSE(model::CreateDefaultProfiles());
    ASSERT_EQ(Run({"write", "--yes", "--verify", "PMV7706.prf"}), 0) << out_ << err_;
    EXPECT_NE(err_.find("Проверка после записи"), std::string::npos) << err_;

    simulator_.ChangeOnRestart(2, 1, 318, 7);  // averaging of channel 2
    EXPECT_EQ(Run({"write", "--yes", "--verify", "PMV7706.prf"}), 15) << err_;
    EXPECT_NE(out_.find("Канал 2 · Усреднение: в профиле "), std::string::npos) << out_;
    EXPECT_NE(out_.find(", в приборе 7\n"), std::string::npos) << out_;
    EXPECT_NE(err_.find("(ERR 15)"), std::string::npos) << err_;

    // Every write and its verification are in the history, naming the instrument read from the line.
    simulator_.SetRegister(2, 1, 11, 0x39);
    simulator_.SetRegister(2, 1, 12, 0x30);  // serial number 12345
    simulator_.SetRegister(2, 1, 14, 7);
    ASSERT_EQ(RunRaw({"history", "--csv"}), 0) << err_;
    size_t rows = 0;
    for (size_t at = 0; (at = out_.find("\r\n", at)) != std::string::npos; at += 2)
        ++rows;
    EXPECT_EQ(rows, 5u) << "the heading, two writes and their verifications";
    EXPECT_NE(out_.find(";проверка;PMV7706.prf;"), std::string::npos) << out_;
    EXPECT_NE(out_.find(";ch1,ch2,relay,general;15;"), std::string::npos) << out_;
    ASSERT_EQ(Run({"serial", "--set", "12345", "7", "01.02.2026"}), 0) << err_;
    ASSERT_EQ(RunRaw({"history", "007-12345"}), 0) << err_;
    EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 1) << out_;
    // The operation is padded to 20 characters, not bytes.
    EXPECT_NE(out_.find(" 007-12345  номер и дата" + std::string(9, ' ') + "  "), std::string::npos) << out_;
    EXPECT_EQ(RunRaw({"history", "--from", "01.02.2026"}), cli::kUsageStatus);
}

// serial --set after a production gave the same number again with exit 0.
TEST_F(PmvctlTest, SerialSetRefusesANumberGivenBeforeUnlessReuseAndWritesNothingWithoutAHistory)
{
    {
        history::SqliteHistory history(history::kHistoryFileName);
        ASSERT_EQ(history.ReserveSerial(12, 400, false, {}, {}).outcome, history::SerialReservation::Outcome::Reserved);
    }
    ASSERT_EQ(Run({"serial", "--set", "345", "12", "01.02.2026"}), 0) << err_;
    for (const char* given : {"345", "400"}) {
        SCOPED_TRACE(given);
        simulator_.SetRegister(2, 1, 11, 7);
        simulator_.ClearTranscript();
        EXPECT_EQ(Run({"serial", "--set", given, "12", "01.02.2026"}), cli::kSerialUsedStatus) << err_;
        EXPECT_NE(err_.find(std::string("012-00") + given), std::string::npos) << err_;
        EXPECT_NE(err_.find("--reuse"), std::string::npos) << err_;
        EXPECT_TRUE(simulator_.Transcript().empty()) << "nothing sent";
    }
    ASSERT_EQ(Run({"serial", "--set", "400", "12", "01.02.2026", "--reuse"}), 0) << err_;
    EXPECT_EQ(simulator_.Register(2, 1, 11), 400u % 256);
    EXPECT_EQ(Run({"serial", "--set", "345", "13", "01.02.2026"}), 0) << "another type code's number: " << err_;
    ASSERT_EQ(RunRaw({"history", "012-00400", "--json"}), 0) << err_;
    EXPECT_NE(out_.find("номер и дата"), std::string::npos) << out_;
    EXPECT_NE(out_.find("повторно"), std::string::npos) << out_;

    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(dir_.file(std::string(history::kHistoryFileName) + suffix));
    std::filesystem::create_directory(dir_.file(history::kHistoryFileName));
    simulator_.ClearTranscript();
    EXPECT_EQ(Run({"serial", "--set", "500", "12", "01.02.2026"}), cli::TerminalSession::kFileFailure) << err_;
    EXPECT_NE(err_.find("history.sqlite"), std::string::npos) << err_;
    EXPECT_TRUE(simulator_.Transcript().empty()) << "nothing sent without a history to check the number";
}

// history, produce and serial --set read instrument numbers by rules of their own: hexadecimal
// here, "1-2-3" or a type code of 300 there.
TEST_F(PmvctlTest, InstrumentNumbersAreReadAlikeByEveryCommand)
{
    ASSERT_EQ(Run({"serial", "--set", "00345", "012", "01.02.2026"}), 0) << err_;
    for (const char* named : {"12-345", "012-00345", "345", "00345"}) {
        ASSERT_EQ(RunRaw({"history", named}), 0) << named << err_;
        EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 1) << named << out_;
    }
    ASSERT_EQ(RunRaw({"history", "13-345"}), 0) << err_;
    EXPECT_EQ(out_, "");

    simulator_.ClearTranscript();
    for (const char* refused : {"12-", "-345", "1-2-3", "256-345", "12-65536", "0x0C-345", "12-345x", "+12"}) {
        EXPECT_EQ(RunRaw({"history", refused}), cli::kUsageStatus) << refused;
        EXPECT_EQ(Run({"produce", "--profile", "p.prf", "--serial", refused}), cli::kUsageStatus) << refused;
        EXPECT_NE(err_.find("--serial ТИП[-НОМЕР] (0..255, 0..65535)"), std::string::npos) << err_;
    }
    EXPECT_EQ(Run({"produce", "--profile", "p.prf", "--serial", "300"}), cli::kUsageStatus) << "no type code 300";
    EXPECT_EQ(Run({"serial", "--set", "0x159", "12", "01.02.2026"}), cli::kUsageStatus);
    EXPECT_EQ(Run({"serial", "--set", "345", "256", "01.02.2026"}), cli::kUsageStatus);
    EXPECT_TRUE(simulator_.Transcript().empty());
}

TEST_F(PmvctlTest, TheRebootAfterTheRestartCostsAWriteNothingAndAVerifyOnlyShortProbes)
{
    ASSERT_FALSE(model::CreateDefaultProfiles());
    simulator_.SetRegister(2, 1, 11, 0x39);
    simulator_.SetRegister(2, 1, 12, 0x30);  // serial number 12345
    simulator_.SetRegister(2, 1, 14, 7);
    const auto timed = [this](const std::vector<std::string>& args) {
        simulator_.ClearTranscript();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Run(args), 0) << err_;
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    };
    const int64_t plain = timed({"write", "--yes", "--verify", "PMV7706.prf"});

    constexpr uint32_t kRebootMs = 1500;
    simulator_.SetReboot(kRebootMs);
    // A plain write sends nothing after its restart: the identity of its history row comes first.
    timed({"write", "--yes", "PMV7706.prf"});
    const auto written = simulator_.Transcript();
    ASSERT_FALSE(written.empty());
    EXPECT_TRUE(written.back().bank == 1 && written.back().reg == 0 && written.back().value == 1u);
    for (const auto& r : written)
        EXPECT_TRUE(r.answered) << r.text;
    ASSERT_EQ(RunRaw({"history", "007-12345"}), 0) << err_;
    EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 3) << "the first write, its verification, this write\n"
                                                             << out_;

    // The verification waits for the instrument with short probes, not with answer time-outs.
    // rules: real time: pmvsim reboots on the wall clock; the next run starts on an awake instrument
    std::this_thread::sleep_for(std::chrono::milliseconds(kRebootMs));
    const int64_t rebooting = timed({"write", "--yes", "--verify", "PMV7706.prf"});
    test::ExpectOnlyProbesWaitedForTheReboot(simulator_.Transcript(), kRebootMs, rebooting, plain);
    EXPECT_NE(err_.find("Проверка после записи: прибор хранит записанное."), std::string::npos) << err_;
}

TEST_F(PmvctlTest, TheCommandAfterAWriteProbesForTheRebootingInstrumentInsteadOfWaitingTimeOuts)
{
    ASSERT_FALSE(model::CreateDefaultProfiles());
    simulator_.SetRegister(2, 1, 11, 0x39);
    simulator_.SetRegister(2, 1, 12, 0x30);
    simulator_.SetRegister(2, 1, 14, 7);
    const auto timed = [this](const std::vector<std::string>& args) {
        simulator_.ClearTranscript();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Run(args), 0) << args[0] << ": " << err_;
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    };
    const std::vector<std::vector<std::string>> next = {{"read", "r.prf"}, {"get", "2", "long", "29"}, {"serial"}};
    std::vector<int64_t> plain;
    for (const auto& command : next)
        plain.push_back(timed(command));

    constexpr uint32_t kRebootMs = 1500;
    simulator_.SetReboot(kRebootMs);
    for (size_t i = 0; i < next.size(); ++i) {
        SCOPED_TRACE(next[i][0]);
        timed({"write", "--yes", "PMV7706.prf"});
        const auto written = simulator_.Transcript();
        ASSERT_FALSE(written.empty());
        EXPECT_TRUE(written.back().bank == 1 && written.back().reg == 0 && written.back().value == 1u)
            << "the write ends with the restart's answer: " << written.back().text;
        const int64_t rebooting = timed(next[i]);
        test::ExpectOnlyProbesWaitedForTheReboot(simulator_.Transcript(), kRebootMs, rebooting, plain[i]);
    }
}

TEST_F(PmvctlTest, CalibrateFindsTheTrueCoefficientAndKeepsItInTheProfile)
{
    test::WriteFileBytes(dir_.file("c.prf"), "[Grad]\r\ndel_ku=2\r\nusr_ku=4\r\n");
    simulator_.ConnectSource(1, {sim::Source::Kind::Volts, 10.0});
    ASSERT_EQ(Run({"--verbose", "calibrate", "2", "ku10", "--yes", "c.prf"}), 0) << err_;
    const double truth = simulator_.TrueCoefficientsOf(1).ku10;
    EXPECT_NEAR(simulator_.FloatRegister(2, 24), truth, truth * 1e-3);
    EXPECT_EQ(simulator_.RestartCount(), 1);
    EXPECT_EQ(waits_.waitedMs, (2 + 4) * 1000);
    model::SettingsModel saved;
    ASSERT_FALSE(model::LoadProfile(dir_.file("c.prf"), saved).error);
    EXPECT_NEAR(saved.channel[1].ku10, truth, truth * 1e-3);
    EXPECT_NE(err_.find("Подключите ко входу напряжение  10.0000  V"), std::string::npos) << err_;
    EXPECT_NE(err_.find("До окончания осталось 2 сек"), std::string::npos) << "the dwell on stderr";

    // --no: the reference counts as connected, the result goes to the profile only.
    simulator_.ClearTranscript();
    simulator_.ConnectSource(0, {sim::Source::Kind::Millivolts, 100.0});
    ASSERT_EQ(Run({"calibrate", "1", "ku100", "--no", "c.prf"}), 0) << err_;
    for (const auto& r : simulator_.Transcript())
        EXPECT_FALSE(r.value) << r.text;
    ASSERT_FALSE(model::LoadProfile(dir_.file("c.prf"), saved).error);
    const double ku = simulator_.TrueCoefficientsOf(0).ku;
    EXPECT_NEAR(saved.channel[0].ku, ku, ku * 1e-3);

    // Nothing connected: the result is refused, the profile stays as it was.
    const std::string before = test::ReadFileBytes(dir_.file("c.prf"));
    ASSERT_EQ(Run({"calibrate", "1", "ki5", "--yes", "c.prf"}), 0) << err_;
    EXPECT_NE(err_.find("и выходит за границы допустимого"), std::string::npos);
    EXPECT_EQ(test::ReadFileBytes(dir_.file("c.prf")), before);

    // Only coefficients that reached the instrument are in the history: the first calibration
    // and a write of the coefficients.
    ASSERT_EQ(Run({"calib", "write", "1", "c.prf"}), 0) << err_;
    ASSERT_EQ(RunRaw({"history", "--csv"}), 0) << err_;
    const auto rows = [&](const std::string& what) {
        size_t n = 0;
        for (size_t at = 0; (at = out_.find(what, at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    EXPECT_EQ(rows(";градуировка;c.prf;"), 2u) << out_;
    EXPECT_EQ(rows("канал 2: UREF"), 1u) << out_;
    EXPECT_EQ(rows("канал 1: UREF"), 1u) << out_;

    EXPECT_EQ(Run({"calibrate", "3", "ku10", "c.prf"}), cli::kUsageStatus);
    EXPECT_EQ(Run({"calibrate", "1", "ku", "c.prf"}), cli::kUsageStatus);
    EXPECT_EQ(Run({"calibrate", "1", "ref", "missing.prf"}), 14);
}

// A No at the reference's prompt is a refusal, as in the window; the history row of a result
// written reads the instrument before its restart, so nothing waits for the reboot.
TEST_F(PmvctlTest, CalibrateTellsADeclinedPromptAsRefusedAndItsRowNeverWaitsForTheReboot)
{
    test::WriteFileBytes(dir_.file("c.prf"), "[Grad]\r\ndel_ku=1\r\nusr_ku=2\r\n");
    EXPECT_EQ(Run({"calibrate", "1", "ku10", "c.prf"}, "n\n"), 16) << err_;
    for (const auto& r : simulator_.Transcript())
        EXPECT_FALSE(r.value) << r.text;

    simulator_.ConnectSource(0, {sim::Source::Kind::Volts, 10.0});
    simulator_.SetReboot(1500);
    simulator_.ClearTranscript();
    ASSERT_EQ(Run({"calibrate", "1", "ku10", "--yes", "c.prf"}), 0) << err_;
    const std::vector<sim::Request> sent = simulator_.Transcript();
    ASSERT_FALSE(sent.empty());
    EXPECT_TRUE(sent.back().bank == 1 && sent.back().reg == 0 && sent.back().value == 1u)
        << "the restart is the last request: " << sent.back().text;
    ASSERT_EQ(RunRaw({"history", "--csv"}), 0) << err_;
    EXPECT_NE(out_.find(";градуировка;c.prf;"), std::string::npos) << out_;
}

// /dev/null is held open by every program: it must be told as no serial port, not as taken.
TEST_F(PmvctlTest, ADeviceThatIsNoSerialPortIsNamedSo)
{
    EXPECT_EQ(RunRaw({"--port", "/dev/null", "serial"}), 2);
    EXPECT_NE(err_.find("/dev/null не последовательный порт"), std::string::npos) << err_;
    EXPECT_EQ(err_.find("занят"), std::string::npos) << err_;
}

// Nothing goes into the instrument from a file that is not there or holds no profile.
TEST_F(PmvctlTest, MissingOrForeignFilesAreNeverWrittenIntoTheInstrument)
{
    test::WriteFileBytes(dir_.file("empty.prf"), "");
    // clang-format off
    test::WriteFileBytes(dir_.file("junk.prf"), std::string("\x7F" "ELF\x02\x01\x01\0\0\r\n[\xFF\xFE]\n=", 18));
    // clang-format on
    test::WriteFileBytes(dir_.file("paper.pdf"), "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n");
    for (const char* name : {"mistyped.prf", "empty.prf", "junk.prf", "paper.pdf"}) {
        EXPECT_EQ(Run({"write", "--yes", name}), 14) << name;
        EXPECT_NE(err_.find(name), std::string::npos) << err_;
        EXPECT_EQ(Run({"calib", "write", "1", name}), 14) << name;
        EXPECT_NE(err_.find(name), std::string::npos) << err_;
    }
    EXPECT_TRUE(simulator_.Transcript().empty());
    EXPECT_FALSE(std::filesystem::exists(dir_.file("mistyped.prf")));
}

TEST_F(PmvctlTest, OddProfilePathsGive14)
{
    std::filesystem::create_symlink("loop-b.prf", dir_.file("loop-a.prf"));
    std::filesystem::create_symlink("loop-a.prf", dir_.file("loop-b.prf"));
    const std::string tooLong(300, 'n');
    for (const std::string& path : {std::string("loop-a.prf"), tooLong + ".prf", std::string("no-folder/x.prf")}) {
        EXPECT_EQ(Run({"read", path}), 14) << path;
        EXPECT_NE(err_.find(path), std::string::npos) << err_;
        EXPECT_EQ(Run({"write", "--yes", path}), 14) << path;
        EXPECT_EQ(Run({"calib", "write", "2", path}), 14) << path;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.file("loop-a.prf")));
}

// The profile is read where it is, not through a copy: a read-only file works, nothing is left
// in the temporary folder, and a message names the user's file.
TEST_F(PmvctlTest, ProfilesAreReadInPlaceAndWriteBacksStayInMemory)
{
    const auto temporaries = [] {
        size_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
            n += e.path().filename().string().starts_with("pmvctl-");
        return n;
    };
    const size_t before = temporaries();
    const std::string text = "[CH1]\r\nth1=42.25\r\n";
    test::WriteFileBytes(dir_.file("ro.prf"), text);
    std::filesystem::permissions(dir_.file("ro.prf"), std::filesystem::perms::owner_read);
    ASSERT_EQ(Run({"write", "--yes", "--defaults", "ro.prf"}), 0) << err_;
    EXPECT_FLOAT_EQ(simulator_.FloatRegister(2, 29), 42.25f);
    EXPECT_EQ(Run({"calib", "write", "1", "ro.prf"}), 0) << err_;
    EXPECT_EQ(test::ReadFileBytes(dir_.file("ro.prf")), text) << "no write-back reached the file";
    EXPECT_EQ(temporaries(), before);

    EXPECT_EQ(Run({"read", "no-folder/p.prf"}), 14);
    EXPECT_NE(err_.find("Не удается записать файл no-folder/p.prf: нет папки no-folder."), std::string::npos) << err_;
}

TEST_F(PmvctlTest, SetReadsTheRegisterBack)
{
    sim::Fault wrong{sim::Fault::Kind::WrongReadBack};
    wrong.count = -1;
    simulator_.InjectFault(wrong);
    EXPECT_EQ(Run({"set", "2", "byte", "4", "7"}), 15);
    EXPECT_EQ(Run({"set", "2", "long", "29", "f:3.5"}), 15);
    EXPECT_EQ(Run({"set", "2", "long", "30", "0x12345678"}), 15);
    simulator_.ClearFaults();

    sim::Fault hello{sim::Fault::Kind::RawAnswer};
    hello.count = -1;
    hello.raw = "hello\r";
    simulator_.InjectFault(hello);
    EXPECT_NE(Run({"set", "2", "byte", "4", "7"}), 0);
    EXPECT_NE(Run({"set", "2", "long", "30", "5"}), 0);
    simulator_.ClearFaults();
    EXPECT_EQ(Run({"set", "2", "long", "30", "0x12345678"}), 0) << err_;
    EXPECT_EQ(simulator_.Register(2, 3, 30), 0x12345678u);
}

TEST_F(PmvctlTest, ValuesAndOptionsThatMakeNoSenseAreRefused)
{
    for (const char* value : {"f:nan", "f:inf", "f:-inf", "f:1e50"})
        EXPECT_EQ(Run({"set", "2", "long", "29", value}), cli::kUsageStatus) << value;
    test::WriteFileBytes(dir_.file("p.prf"), "[CH1]\r\nth1=1\r\n");
    EXPECT_EQ(Run({"read", "--groups", "", "p.prf"}), cli::kUsageStatus);
    EXPECT_EQ(Run({"write", "--groups", ",", "p.prf"}), cli::kUsageStatus);
    EXPECT_EQ(Run({"write", "--yes", "--no", "p.prf"}), cli::kUsageStatus);
    EXPECT_EQ(Run({"factory-reset", "--no", "--yes"}), cli::kUsageStatus);
    EXPECT_TRUE(simulator_.Transcript().empty());
}

// ---- passport and report ----

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(PmvctlTest, PassportTextOfTheSimulatedInstrument)
{
    // The accuracy figure comes from the window's profile.
    test::WriteFileBytes(dir_.file("recent.prf"), "[Dat_bound17]\r\npogr=0.1\r\n");
    simulator_.SetRegister(2, 1, 3, 0);     // one channel
    simulator_.SetRegister(2, 1, 325, 1);   // relay masks in force
    simulator_.SetRegister(2, 1, 6, 0x20);  // rel0_msk0: valve direction only
    simulator_.SetRegister(2, 1, 18, 11);
    ASSERT_EQ(Run({"passport"}), 0) << err_;
    const std::vector<std::string> lines = SplitLines(out_);
    ASSERT_GE(lines.size(), 20u) << out_;
    EXPECT_TRUE(lines[0].starts_with("Дата печати ")) << lines[0];
    EXPECT_EQ(lines[1], "Прибор ПМВ7700/01Н номер 047-1234 дата изг. 15.11.2024");
    EXPECT_EQ(lines[2], "Конфигурация прибора:");
    EXPECT_EQ(lines[3], "Тип прибора : ПМВ 7700/01 Н");
    const auto has = [&](const char* line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("Пределы допустимой основной погрешности :   0.1000 %"));
    EXPECT_TRUE(has("Реле 1 выбирает направление привода задвижки"));
    EXPECT_TRUE(has("при срабатывании - задвижка открывается"));
    EXPECT_EQ(test::ReadFileBytes(dir_.file("recent.prf")), "[Dat_bound17]\r\npogr=0.1\r\n") << "read, not changed";

    const std::string text = out_;
    ASSERT_EQ(Run({"passport", "--text"}), 0);
    EXPECT_EQ(SplitLines(out_).size(), lines.size());

    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = -1;
    refuse.status = 0x0006;
    refuse.bank = 2, refuse.memType = 1, refuse.reg = 17;  // the production day
    simulator_.InjectFault(refuse);
    EXPECT_EQ(Run({"passport"}), 3);
    EXPECT_EQ(out_, "") << "a failed read makes no page";
    EXPECT_NE(err_.find("(ERR 3)"), std::string::npos) << err_;
}

TEST_F(PmvctlTest, ReportOfAProfileNeedsNoInstrument)
{
    test::WriteFileBytes(dir_.file("r.prf"), "[CH1]\r\nver_rel_proc=1\r\nuse=1\r\n[CH2]\r\nver_rel_proc=0\r\n"
                                             "[RELE]\r\nrel0_msk0=4\r\n[GEN]\r\nproc_ver=3\r\n[ERR]\r\nerr_ver=0\r\n");
    const std::string before = test::ReadFileBytes(dir_.file("r.prf"));
    ASSERT_EQ(RunRaw({"--port", "/nonexistent", "report", "r.prf"}), 0) << err_;
    EXPECT_EQ(test::ReadFileBytes(dir_.file("r.prf")), before);
    const std::vector<std::string> lines = SplitLines(out_);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Прибор номер  047-0");
    EXPECT_TRUE(lines[1].starts_with("Дата "));
    EXPECT_EQ(lines[2], "Канал 1");
    EXPECT_EQ(lines[3], "Канал выключен из работы");
    // The profile's relay logic as it stands: channel 2's 0 is not turned into 1 by a gather.
    const auto at = [&](const char* line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
    EXPECT_EQ(at("Управление реле в канале 1") + 3, at("Управление реле в канале 2"));
    EXPECT_EQ(lines[static_cast<size_t>(at("Управление реле в канале 1")) + 2], "Реле 1 сработает от обрывом канала 1");
    EXPECT_EQ(at("Градуировка канала 1"), at("Управление реле в канале 2") + 1);
    EXPECT_EQ(lines.back(), "Упрощенная индикация ошибки") << "no channel count for a PID instrument";

    EXPECT_EQ(RunRaw({"report", "missing.prf"}), 14);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("missing.prf")));
    EXPECT_EQ(RunRaw({"report"}), 64);
}

TEST_F(PmvctlTest, ReportAfterAReadSavesTheProfileOnlyWhenEveryReadSucceeded)
{
    test::WriteFileBytes(dir_.file("r.prf"), "[CH1]\r\ndat=5\r\n");
    const std::string before = test::ReadFileBytes(dir_.file("r.prf"));
    simulator_.SetFloatRegister(2, 18, 30.5f);  // uref of channel 2
    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = -1;
    refuse.status = 0x0006;
    refuse.bank = 2, refuse.memType = 3, refuse.reg = 17;  // uref of channel 1
    simulator_.InjectFault(refuse);
    EXPECT_EQ(Run({"report", "--read", "r.prf"}), 3);
    EXPECT_NE(out_.find("UREF :  30.5000"), std::string::npos) << "the report is made all the same: " << out_;
    EXPECT_NE(err_.find("(ERR 3)"), std::string::npos);
    EXPECT_EQ(test::ReadFileBytes(dir_.file("r.prf")), before);

    simulator_.ClearFaults();
    ASSERT_EQ(Run({"report", "--read", "r.prf"}), 0) << err_;
    const std::string profile = test::ReadFileBytes(dir_.file("r.prf"));
    EXPECT_NE(profile.find("[CH1]\r\ndat=17\r\n"), std::string::npos) << profile;
    EXPECT_NE(profile.find("uref= 30.5000\r\n"), std::string::npos) << profile;
}

// ---- What scripts read: JSON with the profile's keys, CSV for spreadsheets and for scripts ----

// Each line of the output as a JSON object; a line that does not parse fails the test.
std::vector<QJsonObject> JsonLines(const std::string& text)
{
    std::vector<QJsonObject> objects;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
        EXPECT_TRUE(document.isObject()) << line;
        objects.push_back(document.object());
    }
    return objects;
}

TEST_F(PmvctlTest, ARegisterHoldingNoNumberIsReportedAsSuch)
{
    simulator_.SetFloatRegister(2, 29, std::numeric_limits<float>::quiet_NaN());
    simulator_.SetFloatRegister(2, 30, std::numeric_limits<float>::infinity());
    ASSERT_EQ(Run({"read", "--json", "x.prf"}), 0) << err_;
    auto read = JsonLines(out_);
    ASSERT_EQ(read.size(), 1u) << out_;
    const QJsonObject ch1 = read[0]["settings"].toObject()["CH1"].toObject();
    EXPECT_TRUE(ch1["th1"].isNull()) << out_;
    EXPECT_TRUE(ch1["th2"].isNull()) << out_;
    const QJsonArray notes = read[0]["notes"].toArray();
    ASSERT_EQ(notes.size(), 2) << out_;
    EXPECT_EQ(notes[0].toObject()["key"].toString(), "th1");
    EXPECT_NE(err_.find("[CH1] th1: в приборе не число"), std::string::npos) << err_;

    ASSERT_FALSE(model::CreateDefaultProfiles());
    ASSERT_EQ(Run({"diff", "PMV7706.prf"}), cli::kDiffersStatus) << err_;
    EXPECT_NE(out_.find("Канал 1 · Уставка I: в профиле 50.0000, в приборе не число (nan)\n"), std::string::npos)
        << out_;
    ASSERT_EQ(Run({"diff", "--json", "PMV7706.prf"}), cli::kDiffersStatus) << err_;
    const QJsonArray differences = JsonLines(out_)[0]["differences"].toArray();
    const auto th1 = std::find_if(differences.begin(), differences.end(), [](const QJsonValue& d) {
        return d.toObject()["section"].toString() == "CH1" && d.toObject()["key"].toString() == "th1";
    });
    ASSERT_NE(th1, differences.end()) << out_;
    EXPECT_TRUE((*th1).toObject()["instrument"].isNull()) << out_;
    EXPECT_FALSE((*th1).toObject()["note"].toString().isEmpty()) << out_;
}

TEST_F(PmvctlTest, JsonNamesSettingsByTheProfilesKeysAndNeverByRussianLabels)
{
    simulator_.SetRegister(2, 1, 315, 3);
    simulator_.SetFloatRegister(2, 29, 55.5f);
    ASSERT_EQ(Run({"read", "--json", "x.prf"}), 0) << err_;
    EXPECT_EQ(QString::fromStdString(out_).count("\"CH1\":"), 1) << "each section once: " << out_;
    auto read = JsonLines(out_);
    ASSERT_EQ(read.size(), 1u) << out_;
    EXPECT_EQ(read[0]["profile"].toString(), "x.prf");
    const QJsonObject settings = read[0]["settings"].toObject();
    EXPECT_EQ(settings["CH1"].toObject()["dat"].toInt(), 3);
    EXPECT_DOUBLE_EQ(settings["CH1"].toObject()["th1"].toDouble(), 55.5);
    EXPECT_TRUE(settings["CH1"].toObject().contains("reg_int")) << "the regulator's keys in their sections";
    for (const char* section : {"CH2", "RELE", "GEN", "ERR"})
        EXPECT_TRUE(settings.contains(section)) << section;

    simulator_.SetFloatRegister(2, 29, 45.0f);
    ASSERT_EQ(Run({"diff", "--json", "x.prf"}), cli::kDiffersStatus) << err_;
    auto diff = JsonLines(out_);
    ASSERT_EQ(diff.size(), 1u) << out_;
    EXPECT_FALSE(diff[0]["equal"].toBool());
    // The profile as the window would write it: sensor type 3 also sets its range.
    const QJsonArray differences = diff[0]["differences"].toArray();
    const auto th1 = std::find_if(differences.begin(), differences.end(), [](const QJsonValue& d) {
        return d.toObject()["section"].toString() == "CH1" && d.toObject()["key"].toString() == "th1";
    });
    ASSERT_NE(th1, differences.end()) << out_;
    EXPECT_DOUBLE_EQ((*th1).toObject()["profile"].toDouble(), 55.5);
    EXPECT_DOUBLE_EQ((*th1).toObject()["instrument"].toDouble(), 45.0);

    ASSERT_EQ(Run({"serial", "--set", "12", "47", "05.03.2026"}), 0) << err_;
    ASSERT_EQ(Run({"serial", "--json"}), 0) << err_;
    EXPECT_EQ(out_, "{\"serial\":12,\"type\":47,\"made\":\"2026-03-05\"}\n");

    const std::string linkSettings = test::ReadFileBytes(dir_.file("dev.dat"));
    ASSERT_EQ(Run({"scan", "--addresses", "0-2", "--bauds", "9600", "--json"}), 0) << err_;
    EXPECT_EQ(err_, "") << "nothing asked without --save";
    EXPECT_EQ(test::ReadFileBytes(dir_.file("dev.dat")), linkSettings);
    auto scan = JsonLines(out_);
    ASSERT_EQ(scan.size(), 1u) << out_;
    EXPECT_EQ(scan[0]["found"].toArray()[0].toObject()["address"].toInt(), 1);

    Run({"doctor", "--json"});
    auto doctor = JsonLines(out_);
    ASSERT_EQ(doctor.size(), 1u) << out_;
    EXPECT_TRUE(doctor[0]["findings"].isArray());
    EXPECT_FALSE(doctor[0]["findings"].toArray().isEmpty());
    // Scripts branch on the finding's name, never on its Russian text.
    const QJsonArray findings = doctor[0]["findings"].toArray();
    for (const QJsonValue& f : findings)
        EXPECT_TRUE(QRegularExpression("^[a-z]+(_[a-z]+)*$").match(f.toObject()["id"].toString()).hasMatch()) << out_;
    // The instrument, then the history the command would record in.
    ASSERT_GE(findings.size(), 2);
    EXPECT_EQ(findings[findings.size() - 2].toObject()["id"].toString(), "answers_verified") << out_;
    EXPECT_EQ(findings[findings.size() - 2].toObject()["topic"].toString(), "instrument") << out_;
    EXPECT_EQ(findings.last().toObject()["id"].toString(), "history_file") << out_;
    EXPECT_EQ(findings.last().toObject()["topic"].toString(), "history") << out_;

    ASSERT_EQ(Run({"monitor", "--count", "2", "--interval", "100", "--json"}), 0) << err_;
    auto polls = JsonLines(out_);
    ASSERT_EQ(polls.size(), 2u) << "one object per poll and line: " << out_;
    EXPECT_EQ(polls[1]["code"].toInt(), 0);
    EXPECT_TRUE(polls[1]["CH1"].toObject().contains("value")) << out_;
    EXPECT_EQ(polls[1]["relays"].toArray().size(), 2);

    ASSERT_EQ(RunRaw({"history", "--json"}), 0) << err_;
    auto rows = JsonLines(out_);
    ASSERT_GE(rows.size(), 1u) << out_;
    EXPECT_EQ(rows.back()["instrument"].toString(), "047-00012");
    EXPECT_EQ(rows.back()["serial"].toInt(), 12);
    EXPECT_EQ(rows.back()["operation_code"].toString(), "serial");

    // A write's row gives what it sent by profile keys; a value that was no number is null.
    simulator_.SetFloatRegister(2, 29, 55.5f);
    ASSERT_EQ(Run({"write", "--yes", "--groups", "ch1", "x.prf"}), 0) << err_;
    ASSERT_EQ(RunRaw({"history", "--json"}), 0) << err_;
    rows = JsonLines(out_);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back()["operation_code"].toString(), "write") << out_;
    const QJsonObject written = rows.back()["values"].toObject();
    EXPECT_DOUBLE_EQ(written["CH1"].toObject()["th1"].toDouble(), 55.5) << out_;
    EXPECT_EQ(written["CH1"].toObject()["dat"].toInt(), 3) << out_;
    EXPECT_FALSE(written["CH2"].toObject().contains("th1")) << "channel 2 not written: " << out_;
    const std::vector<binding::SettingValue> parsed =
        binding::ParseSettingsValueLines("Канал 2 · Уставка I=nan\nКанал 2 · Уставка I=-1.5000\nнет такой=1\n");
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0].section + "." + parsed[0].key, "CH2.th1");
    EXPECT_FALSE(parsed[0].finite);
    EXPECT_TRUE(parsed[1].finite);
}

TEST_F(PmvctlTest, HistoryCsvReadsAsNumbersInARussianSpreadsheetAndAsCForScripts)
{
    ASSERT_EQ(Run({"serial", "--set", "1", "12", "05.03.2026"}), 0) << err_;
    ASSERT_EQ(RunRaw({"history", "--csv"}), 0) << err_;
    ASSERT_EQ(out_.rfind("\xEF\xBB\xBF", 0), 0u) << "UTF-8 with its byte order mark";
    const std::string heading = out_.substr(3, out_.find("\r\n") - 3);
    EXPECT_EQ(heading.rfind("Время;Оператор;Прибор;", 0), 0u) << heading;
    const std::string row = out_.substr(out_.find("\r\n") + 2);
    EXPECT_NE(row.find(";012-00001;"), std::string::npos) << "the number in one column: " << row;
    EXPECT_EQ(std::count(row.begin(), row.end(), ';'), std::count(heading.begin(), heading.end(), ';')) << row;

    ASSERT_EQ(Run({"read", "r.prf"}), 0) << err_;
    ASSERT_EQ(Run({"write", "--yes", "r.prf"}), 0) << err_;
    ASSERT_EQ(RunRaw({"history", "--csv"}), 0) << err_;
    EXPECT_NE(out_.find(";\u20601.1.2;"), std::string::npos) << "the version stays a text, never a date: " << out_;
    ASSERT_EQ(RunRaw({"history", "--csv", "--csv-format", "c"}), 0) << err_;
    EXPECT_EQ(out_.rfind("Время,Оператор,Прибор,", 0), 0u) << "no mark, commas" << out_;
    EXPECT_NE(out_.find(",012-00001,"), std::string::npos) << out_;
    EXPECT_NE(out_.find(",1.1.2,"), std::string::npos) << "scripts get the version as it is: " << out_;
    EXPECT_EQ(RunRaw({"history", "--csv", "--csv-format", "excel"}), cli::kUsageStatus);
    EXPECT_EQ(RunRaw({"history", "--csv", "--json"}), cli::kUsageStatus);
}

TEST_F(PmvctlTest, ProgressLinesOnlyOnATerminalAndQuietSilencesThem)
{
    const auto progressOnTerminal = [this](std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", simulator_.DevicePath()});
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        std::istringstream in;
        cli::Console console{out, err, &in, true, false, &waits_};
        EXPECT_EQ(cli::RunPmvctl(args, console), 0);
        std::fclose(out);
        return test::Slurp(err);
    };
    EXPECT_NE(progressOnTerminal({"read", "t.prf"}).find("Чтение типа датчика"), std::string::npos);
    EXPECT_EQ(progressOnTerminal({"--quiet", "read", "t.prf"}), "");
    ASSERT_EQ(Run({"read", "t.prf"}), 0);
    EXPECT_EQ(err_, "") << "a log gets the result, not every step";
}

TEST_F(PmvctlTest, AMessageWhoseCaptionIsItsKindSaysItOnce)
{
    EXPECT_EQ(Run({"--address", "9", "restart"}), 2);
    EXPECT_NE(err_.find("Ошибка: Прибор не ответил (ERR 2)"), std::string::npos) << err_;
    EXPECT_EQ(err_.find("Ошибка (ошибка)"), std::string::npos) << err_;
}

// A flipped bit in an answer read setpoint 50.0 as 47244640256.0 and saved it with exit 0.
TEST_F(PmvctlTest, AnAnswerWithAFlippedBitIsNeverSaved)
{
    test::WriteFileBytes(dir_.file("p.prf"), "[CH1]\r\nth1=1\r\n");
    simulator_.SetFloatRegister(2, 29, 50.0f);
    sim::Fault flip{sim::Fault::Kind::FlippedBit};
    flip.count = -1;
    flip.bank = 2, flip.memType = 3, flip.reg = 29;
    simulator_.InjectFault(flip);
    EXPECT_EQ(Run({"read", "p.prf"}), 6);
    EXPECT_NE(err_.find("не сошлась контрольная сумма (ERR 6)"), std::string::npos) << err_;
    EXPECT_EQ(test::ReadFileBytes(dir_.file("p.prf")), "[CH1]\r\nth1=1\r\n");
    EXPECT_EQ(Run({"get", "2", "long", "29"}), 6);
    EXPECT_EQ(out_, "");

    Run({"doctor"});
    EXPECT_NE(out_.find("Контрольные суммы его ответов сходятся."), std::string::npos) << out_;

    // An instrument that computes the checksum otherwise: doctor says so and names the key,
    // which then lets its answers through.
    simulator_.ClearFaults();
    sim::Fault foreign{sim::Fault::Kind::ForeignChecksum};
    foreign.count = -1;
    simulator_.InjectFault(foreign);
    EXPECT_NE(Run({"doctor"}), 0);
    EXPECT_NE(out_.find("не сходятся"), std::string::npos) << out_;
    EXPECT_NE(out_.find("VerifyAnswerCrc=0"), std::string::npos) << out_;
    EXPECT_EQ(Run({"get", "2", "long", "29"}), 6);
    test::WriteFileBytes(dir_.file("dev.dat"), "[DEVICE]\r\nVerifyAnswerCrc=0\r\n");
    ASSERT_EQ(Run({"get", "2", "long", "29"}), 0) << err_;
    EXPECT_EQ(out_, "0x42480000 1112014848 f:50\n");
    Run({"doctor"});
    EXPECT_NE(out_.find("не сходятся; их проверка отключена"), std::string::npos) << out_;
}

// 31.02 went into the instrument as 3 March, and 2300 as 2255, each with exit 0.
TEST_F(PmvctlTest, DatesThatAreNoDaysOrThatTheInstrumentCannotHoldAreRefused)
{
    for (const char* date : {"31.02.2026", "29.02.2025", "31.12.1999", "01.01.2300", "1.2.26"}) {
        EXPECT_EQ(Run({"serial", "--set", "1234", "47", date}), cli::kUsageStatus) << date;
        EXPECT_NE(err_.find(std::string(" ") + date), std::string::npos) << "the message names the date: " << err_;
        EXPECT_EQ(Run({"produce", "--profile", "p.prf", "--serial", "13-5", "--date", date}), cli::kUsageStatus)
            << date;
        EXPECT_NE(err_.find(date), std::string::npos) << err_;
    }
    EXPECT_NE(err_.find("Дата 1.2.26 не в виде ДД.ММ.ГГГГ"), std::string::npos) << err_;
    EXPECT_TRUE(simulator_.Transcript().empty());
    ASSERT_EQ(Run({"serial", "--set", "1234", "47", "29.02.2024"}), 0) << err_;
    EXPECT_EQ(simulator_.Register(2, 1, 17), 29u);
    EXPECT_EQ(simulator_.Register(2, 1, 19), 24u);

    EXPECT_EQ(RunRaw({"history", "--from", "2026-13-45"}), cli::kUsageStatus);
    EXPECT_NE(err_.find("Даты 2026-13-45 нет в календаре"), std::string::npos) << err_;
    EXPECT_EQ(RunRaw({"history", "--to", "2026-02-30"}), cli::kUsageStatus);
    EXPECT_EQ(RunRaw({"history", "--from", "2024-02-29", "--to", "2026-12-31"}), 0) << err_;
}

}  // namespace
}  // namespace pmv
