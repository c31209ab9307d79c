#include "model/number_format.h"
#include "model/profile.h"
#include "model/profile_check.h"

#include "working_dir.h"

#include <algorithm>

using namespace pmv;

namespace {

model::SettingsModel EveryGroupTicked()
{
    model::SettingsModel m;
    m.channel[0].select = m.channel[1].select = m.rele.select = m.general.gen_select = 1;
    return m;
}

const model::BadProfileValue* Find(const model::ProfileCheck& check, const std::string& section, const std::string& key)
{
    const auto it = std::find_if(check.bad.begin(), check.bad.end(),
                                 [&](const auto& b) { return b.section == section && b.key == key; });
    return it == check.bad.end() ? nullptr : &*it;
}

}  // namespace

TEST(ProfileNumbers, ADecimalCommaReadsAsThePointAndOnlyWholeDecimalNumbersScan)
{
    EXPECT_EQ(model::ParseProfileFloat("50,5"), 50.5f);
    EXPECT_EQ(model::ScanWholeProfileFloat(" 50,5 "), 50.5f);
    EXPECT_EQ(model::ScanWholeProfileFloat("-1.5e2"), -150.0f);
    for (const char* text : {"5O.0", "0x32", "", "abc", "nan", "inf", "1e50", "1,5,3", "12345678901234567", "50 5"})
        EXPECT_EQ(model::ScanWholeProfileFloat(text), std::nullopt) << text;
}

class HandEditedProfiles : public TempDirTest {};

TEST_F(HandEditedProfiles, EveryBadValueIsNamedAtOnceWithSectionKeyLineAndValue)
{
    WriteBytes(path("p.prf"), "[CH1]\n"
                              "th1=50,5\n"  // 2: a comma is fine
                              "th2=5O.0\n"  // 3
                              "his1=0x32\n"
                              "his2=\n"
                              "koef0=nan\n"
                              "koef1=inf\n"
                              "dat=30\n"  // 8
                              "point=4\n"
                              "flag=0x1\n"  // an int may be hexadecimal, as the files write it
                              "spd_th=0\n"
                              "[CH2]\n"
                              "dat=-5\n"  // 13
                              "th_type1=3\n"
                              "select=abc\n"
                              "text=anything\n"
                              "[RELE]\n"
                              "rel0_msk0=256\n"
                              "[ERR]\n"
                              "err_ver=2\n"
                              "[GEN]\n"
                              "proc_ver=1,0\n");
    const model::ProfileCheck check =
        model::CheckProfile(ini::IniFile::Load(path("p.prf")), model::SentByWrite(EveryGroupTicked()));
    struct Expected {
        const char* section;
        const char* key;
        std::size_t line;
        const char* value;
        const char* reason;
    };
    const Expected expected[] = {
        {"CH1", "th2", 3, "5O.0", "не число"},
        {"CH1", "his1", 4, "0x32", "не число"},
        {"CH1", "his2", 5, "", "не число"},
        {"CH1", "koef0", 6, "nan", "не число"},
        {"CH1", "koef1", 7, "inf", "не число"},
        {"CH1", "dat", 8, "30", "вне допустимых значений 0..24"},
        {"CH1", "point", 9, "4", "вне допустимых значений 0..3"},
        {"CH1", "spd_th", 11, "0", "вне допустимых значений 0.001..10"},
        {"CH2", "dat", 13, "-5", "вне допустимых значений 0..24"},
        {"CH2", "th_type1", 14, "3", "вне допустимых значений 0..2"},
        {"CH2", "select", 15, "abc", "не целое число"},
        {"RELE", "rel0_msk0", 18, "256", "вне допустимых значений 0..255"},
        {"ERR", "err_ver", 20, "2", "вне допустимых значений 0..1"},
        {"GEN", "proc_ver", 22, "1,0", "не целое число"},
    };
    EXPECT_EQ(check.bad.size(), std::size(expected));
    for (const Expected& e : expected) {
        const model::BadProfileValue* bad = Find(check, e.section, e.key);
        ASSERT_NE(bad, nullptr) << e.section << " " << e.key;
        EXPECT_EQ(bad->line, e.line) << e.key;
        EXPECT_EQ(bad->value, e.value) << e.key;
        EXPECT_EQ(bad->reason, e.reason) << e.key;
    }
    EXPECT_NE(
        model::BadValuesText("p.prf", check.bad).find("\n[CH1] dat, строка 8: \"30\" — вне допустимых значений 0..24"),
        std::string::npos);

    model::SettingsModel loaded;
    model::ReadProfile(path("p.prf"), loaded);
    EXPECT_FLOAT_EQ(loaded.channel[0].th1, 50.5f);
}

TEST_F(HandEditedProfiles, MissingKeysAreCountedForTheGroupsAboutToBeSent)
{
    WriteBytes(path("p.prf"), "[CH2]\nth1=5\n");
    const ini::IniFile file = ini::IniFile::Load(path("p.prf"));
    // Both channels' 22 settings but th1 of channel 2, the relay logic's 6, the regulator's 4, the general 2.
    EXPECT_EQ(model::CheckProfile(file, model::SentByWrite(EveryGroupTicked())).missing, 43u + 6 + 4 + 2);
    model::SettingsModel some;
    some.channel[0].select = 1;
    EXPECT_EQ(model::CheckProfile(file, model::SentByWrite(some)).missing, 22u + 4);
    EXPECT_EQ(model::MissingKeysText("p.prf", 21),
              "В профиле p.prf нет 21 настройки записываемых групп: в прибор будут записаны значения по умолчанию.");

    model::SettingsModel saved = EveryGroupTicked();
    ASSERT_EQ(model::SaveProfile(path("saved.prf"), saved, {}), std::nullopt);
    const model::ProfileCheck check =
        model::CheckProfile(ini::IniFile::Load(path("saved.prf")), model::SentByWrite(saved));
    EXPECT_EQ(check.missing, 0u) << "a profile the program saved lacks nothing";
}
