#include "temp_dir.h"

#include "cli/pmvctl.h"
#include "model/factory_profiles.h"
#include "model/profile.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

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
        cli::Console console{out, err, &in, false, !input.empty()};
        const int status = cli::RunPmvctl(args, console);
        out_ = Slurp(out);
        err_ = Slurp(err);
        return status;
    }

    static std::string Slurp(std::FILE* f)
    {
        std::rewind(f);
        std::string text;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            text.append(buffer, n);
        std::fclose(f);
        return text;
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
};

TEST_F(PmvctlTest, ReadWritesTheInstrumentsValuesIntoANewProfile)
{
    simulator_.SetRegister(2, 1, 315, 3);
    simulator_.SetFloatRegister(2, 29, 55.5f);
    simulator_.SetRegister(2, 1, 338, 120);
    ASSERT_EQ(Run({"read", "x.prf"}), 0) << err_;
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
    ASSERT_EQ(Run({"write", "--yes", "w.prf"}), 0) << err_;
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
    ASSERT_FALSE(CreateDefaultProfiles());
    SettingsModel written;
    ASSERT_FALSE(LoadProfile(dir_.file("PMV7706.prf"), written).error);
    ASSERT_EQ(Run({"write", "PMV7706.prf", "--yes"}), 0) << err_;
    ASSERT_EQ(Run({"read", "back.prf"}), 0) << err_;
    SettingsModel back;
    ASSERT_FALSE(LoadProfile(dir_.file("back.prf"), back).error);
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
    EXPECT_EQ(Run({"write", "w.prf"}), 17);
    EXPECT_TRUE(simulator_.Transcript().empty());
    EXPECT_NE(err_.find("Ответ: нет"), std::string::npos) << err_;
}

TEST_F(PmvctlTest, ExitStatusesAndUsage)
{
    EXPECT_EQ(RunRaw({}), cli::kUsageStatus);
    EXPECT_EQ(RunRaw({"bogus"}), cli::kUsageStatus);
    EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 3) << "the problem and two lines of usage";
    EXPECT_EQ(Run({"read", "--groups", "ch3", "x.prf"}), cli::kUsageStatus);
    EXPECT_EQ(Run({"get", "3", "byte", "1"}), cli::kUsageStatus);
    EXPECT_EQ(RunRaw({"--baud", "1200", "restart"}), cli::kUsageStatus);
    EXPECT_EQ(Run({"read", "--help"}), 0);
    EXPECT_NE(out_.find("pmvctl read"), std::string::npos);
    EXPECT_TRUE(simulator_.Transcript().empty());

    EXPECT_EQ(RunRaw({"--port", dir_.file("no-such-device"), "restart"}), 2);
    EXPECT_NE(err_.find("Невозможно открыть последовательный порт"), std::string::npos);

    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = -1;
    refuse.status = 0x0006;
    simulator_.InjectFault(refuse);
    EXPECT_EQ(Run({"set", "2", "byte", "4", "1"}), 4);
    EXPECT_NE(err_.find("Слишком большой операнд (ERR 4)"), std::string::npos);
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
    EXPECT_EQ(Run({"serial", "--set", "70000", "47", "28.11.2009"}), 23);

    EXPECT_EQ(Run({"factory-reset"}), 0);
    EXPECT_EQ(simulator_.FactoryResetCount(), 0) << "no terminal and no --yes: the answer is No";
    EXPECT_EQ(Run({"factory-reset"}, "д\n"), 0);
    EXPECT_EQ(simulator_.FactoryResetCount(), 1);
    EXPECT_EQ(Run({"factory-reset", "--yes"}), 0);
    EXPECT_EQ(simulator_.FactoryResetCount(), 2);

    ASSERT_EQ(Run({"test", "run", "--count", "3"}), 0) << err_;
    EXPECT_EQ(simulator_.Register(1, 1, 5), 0u) << "the walk ends with all outputs off";
    ASSERT_EQ(Run({"test", "select", "9"}), 0);
    EXPECT_EQ(simulator_.Register(1, 1, 6), 2u);
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
    simulator_.SetRegister(2, 1, 3, 0);    // one channel
    simulator_.SetRegister(2, 1, 325, 1);  // relay masks in force
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

}  // namespace
}  // namespace pmv
