#include "model/factory_profiles.h"
#include "model/profile.h"

#include "expected_profiles.h"
#include "file_error_print.h"

#include <cerrno>
#include <tuple>

using namespace pmv;

namespace {

// clang-format off
const char* const kFiles[] = {
    "PMV7700.prf",        "PMV7701.prf",       "PMV7703.prf",          "PMV7706.prf",         "PMV77XX_progon.prf",
    "PMV7706_PID.prf",    "PMV77XX_pogrR.prf", "PMV77XX_pogrU100.prf", "PMV77XX_pogrU10.prf", "PMV77XX_pogrI.prf",
};
// clang-format on

std::string Masks(int r0m0, int r1m0, int r1m1)
{
    return "rel0_msk0=" + std::to_string(r0m0) + "\nrel0_msk1=0\nrel1_msk0=" + std::to_string(r1m0) +
           "\nrel1_msk1=" + std::to_string(r1m1) + "\n";
}

}  // namespace

class FactoryProfiles : public WorkingDirTest {};

TEST_F(FactoryProfiles, AreWrittenWithTheirExactContent)
{
    ASSERT_EQ(model::CreateDefaultProfiles(), std::nullopt);
    for (const char* file : kFiles)
        EXPECT_TRUE(std::filesystem::is_regular_file(path(file))) << file;

    const Changes rising = {{"th_type1", "2"}, {"th_type2", "2"}};
    EXPECT_EQ(ReadBytes(path("PMV7700.prf")),
              ProfileBytes(FactoryProfileText(
                  ChannelSection(1, rising) + ChannelSection(2, rising), Masks(1, 6, 0), "0",
                  "txt0=Прибор ПМВ 7700 Н. Одноканальный прибор.\ntxt1=Реле 1 назначено на 1 уставку.\n"
                  "txt2=Реле 2 сработает при обрыве датчика или при срабатывании второй уставки\ntxt3=\n")));

    const Changes pid1 = {{"th_type1", "0"}, {"th_type2", "0"}, {"th1", "40"},      {"th2", "555"},
                          {"his1", "5.0"},   {"his2", "0.5"},   {"spd_th", "1.0"},  {"spd_his", "0.1"},
                          {"koef0", "1.0"},  {"koef1", "4.4"},  {"koef2", "444.0"}, {"koef3", "1.0"},
                          {"reg_int", "2"},  {"pulse_int", "2"}};
    const Changes pid2 = {{"th_type1", "2"}, {"th_type2", "0"},  {"th2", "0"},      {"his1", "1.0"}, {"his2", "0.5"},
                          {"spd_th", "1.0"}, {"spd_his", "0.1"}, {"koef0", "0"},    {"koef1", "0"},  {"koef2", "0"},
                          {"koef3", "0"},    {"reg_int", "2"},   {"pulse_int", "2"}};
    EXPECT_EQ(ReadBytes(path("PMV7706_PID.prf")),
              ProfileBytes(FactoryProfileText(
                               ChannelSection(1, pid1) + ChannelSection(2, pid2), Masks(16, 0, 1), "3",
                               "txt0=Прибор ПМВ 7706 Н ПИД. Одноканальный прибор с ПИД управлением нагревателем.\n"
                               "txt1=Реле 1 включает нагреватель, реле 2 - дополнительная уставка.\ntxt2=\ntxt3=\n") +
                           "[GRAF]\nwr_int=1\n"));

    const Changes test10V = {{"dat", "23"}, {"th_type1", "0"}, {"th_type2", "0"}};
    EXPECT_EQ(ReadBytes(path("PMV77XX_pogrU10.prf")),
              ProfileBytes(FactoryProfileText(
                  ChannelSection(1, test10V) + ChannelSection(2, test10V), Masks(0, 0, 0), "1",
                  "txt0=Определение погрешности по U 10 В. Двухканальный прибор.\ntxt1=Реле отключены.\ntxt2=\ntxt3=\n",
                  "-100.0")));
}

TEST_F(FactoryProfiles, LoadWithTheirDifferences)
{
    ASSERT_EQ(model::CreateDefaultProfiles(), std::nullopt);
    // dat, th_type1, th_type2, rel0_msk0, rel1_msk0, rel1_msk1, proc_ver, his1, pulse_int of channel 1
    using Values = std::tuple<int, int, int, int, int, int, int, float, int>;
    // clang-format off
    const Values expected[] = {
        {17, 2, 2, 1, 6, 0, 0, 0.02f, 5},  {17, 0, 0, 1, 2, 0, 0, 0.02f, 5}, {17, 0, 0, 1, 0, 1, 1, 0.02f, 5},
        {17, 0, 0, 16, 8, 0, 2, 10.0f, 10}, {19, 2, 0, 1, 0, 1, 1, 0.02f, 5}, {17, 0, 0, 16, 0, 1, 3, 5.0f, 2},
        {22, 0, 0, 0, 0, 0, 1, 0.02f, 5},  {20, 0, 0, 0, 0, 0, 1, 0.02f, 5}, {23, 0, 0, 0, 0, 0, 1, 0.02f, 5},
        {19, 0, 0, 0, 0, 0, 1, 0.02f, 5},
    };
    // clang-format on
    for (std::size_t i = 0; i < std::size(kFiles); ++i) {
        model::SettingsModel model;
        EXPECT_EQ(model::LoadProfile(path(kFiles[i]), model).error, std::nullopt);
        const model::ChannelSettings& ch = model.channel[0];
        EXPECT_EQ(Values(ch.dat, ch.th_type1, ch.th_type2, model.rele.rel0_msk0, model.rele.rel1_msk0,
                         model.rele.rel1_msk1, model.general.proc_ver, ch.his1, ch.pulse_int),
                  expected[i])
            << kFiles[i];
        EXPECT_EQ(model.channel[1].dat, ch.dat) << kFiles[i];
        EXPECT_EQ(model.channel[1].text, "Канал 2") << kFiles[i];
        EXPECT_EQ(model.general.otk_type, 47) << kFiles[i];
    }
    EXPECT_NE(ReadBytes(path("PMV7700.prf"))
                  .find("\r\n[GEN]\r\ngen_select=1\r\nproc_ver=0\r\nuse_max=0\r\n"
                        "dev_type=47\r\notk_type=47\r\n"),
              std::string::npos);
}

TEST_F(FactoryProfiles, SavedOverKeepTheirBoundsAndGraf)
{
    ASSERT_EQ(model::CreateDefaultProfiles(), std::nullopt);
    model::SettingsModel model;
    model::LoadProfile(path("PMV77XX_pogrU10.prf"), model);
    model.datBound[6].min = 5;
    model.grad.rref_min = 1;
    ASSERT_EQ(model::SaveProfile(path("PMV77XX_pogrU10.prf"), model, {"Мой профиль"}), std::nullopt);
    model::LoadProfile(path("PMV7706_PID.prf"), model);
    ASSERT_EQ(model::SaveProfile(path("PMV7706_PID.prf"), model, {"ПИД"}), std::nullopt);

    const std::string pid = ReadBytes(path("PMV7706_PID.prf"));
    EXPECT_NE(pid.find("\r\n[Dat_bound24]\r\nmax=1300.0\r\nmin=-50.0\r\npogr=0.5\r\n[GRAF]\r\nwr_int=1\r\n"),
              std::string::npos);
    EXPECT_NE(pid.find("\r\nrref_min=5000.0\r\n"), std::string::npos);
    model::SettingsModel back;
    model::LoadProfile(path("PMV77XX_pogrU10.prf"), back);
    EXPECT_FLOAT_EQ(back.datBound[6].min, -100.0f);
    EXPECT_FLOAT_EQ(back.grad.rref_min, 5000.0f);
    EXPECT_EQ(back.definition[0], "Мой профиль");
}

TEST_F(FactoryProfiles, ExistingFilesAreNeverChangedAndAMissingOneIsRecreated)
{
    ASSERT_EQ(model::CreateDefaultProfiles(), std::nullopt);
    const std::string original = ReadBytes(path("PMV7700.prf"));
    std::filesystem::remove(path("PMV7700.prf"));
    WriteBytes(path("PMV7701.prf"), "");
    WriteBytes(path("PMV7703.prf"), "[CH1]\r\ndat=1\r\n[damaged");

    ASSERT_EQ(model::CreateDefaultProfiles(), std::nullopt);
    EXPECT_EQ(ReadBytes(path("PMV7700.prf")), original);
    EXPECT_EQ(ReadBytes(path("PMV7701.prf")), "");
    EXPECT_EQ(ReadBytes(path("PMV7703.prf")), "[CH1]\r\ndat=1\r\n[damaged");
}

TEST_F(FactoryProfiles, StopAtTheFirstFileThatCannotBeWritten)
{
    std::filesystem::create_directory(path("PMV7706.prf"));
    EXPECT_EQ(model::CreateDefaultProfiles(),
              (ini::FileError{ini::FileOperation::Write, dir_ + "/PMV7706.prf", EISDIR}));
    EXPECT_TRUE(std::filesystem::exists(path("PMV7703.prf")));
    EXPECT_FALSE(std::filesystem::exists(path("PMV77XX_progon.prf")));

    std::filesystem::create_directory(path("gone"));
    std::filesystem::current_path(path("gone"));
    std::filesystem::remove(path("gone"));
    // The folder of the process is gone: the fresh file finds no folder to be made in.
    EXPECT_EQ(model::CreateDefaultProfiles(),
              (ini::FileError{ini::FileOperation::CreateFile, "./PMV7700.prf", ENOENT}));
    model::SettingsModel model;
    EXPECT_EQ(model::LoadProfile(model::RecentProfilePath(), model).error,
              (ini::FileError{ini::FileOperation::CreateFile, "./recent.prf", ENOENT}));
}

TEST_F(FactoryProfiles, RecentProfileFollowsTheCurrentDirectory)
{
    EXPECT_EQ(model::RecentProfilePath(), dir_ + "/recent.prf");
    std::filesystem::create_directory(path("other"));
    std::filesystem::current_path(path("other"));
    EXPECT_EQ(model::RecentProfilePath(), dir_ + "/other/recent.prf");
}
