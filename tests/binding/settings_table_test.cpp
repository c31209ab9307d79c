#include "binding/settings_diff.h"
#include "device/register_map.h"
#include "device/setting_steps.h"
#include "ini/ini_file.h"
#include "model/profile_check.h"
#include "model/profile_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

using namespace pmv;

namespace {

using Name = std::pair<std::string, std::string>;

bool Exchanged(model::Group group)
{
    return group == model::Group::Channel || group == model::Group::Relay || group == model::Group::Regulator ||
           group == model::Group::General;
}

std::set<Name> OnTheLine(bool write)
{
    std::set<Name> names;
    for (const device::SettingName& s : device::SettingsOnTheLine(write))
        names.insert({s.section, s.key});
    return names;
}

}  // namespace

// A setting added by one row is read, written, compared after a write and checked before it;
// a row the groups never exchange says why.
TEST(SettingsTable, EveryProfileKeyIsReadWrittenComparedAndCheckedOrExcludedWithItsReason)
{
    model::SettingsModel every;
    every.channel[0].select = every.channel[1].select = every.rele.select = every.general.gen_select = 1;
    std::set<Name> compared;
    for (const binding::FieldComparison& c : binding::CompareFields(every, every))
        compared.insert({c.values.section, c.values.key});
    const std::set<Name> read = OnTheLine(false);
    const std::set<Name> written = OnTheLine(true);

    std::set<Name> exchanged;
    for (const model::Setting& s : model::AllSettings()) {
        const Name name{s.section, s.key};
        const model::Group group = s.about->group;
        if (Exchanged(group)) {
            exchanged.insert(name);
            EXPECT_TRUE(read.count(name)) << "never read: " << s.section << " " << s.key;
            EXPECT_TRUE(written.count(name)) << "never written: " << s.section << " " << s.key;
            EXPECT_TRUE(compared.count(name)) << "never compared: " << s.section << " " << s.key;
            EXPECT_FALSE(s.label.empty()) << s.key;
            EXPECT_NE(s.about->cell.bank, 0u) << s.key;

            // Checked: a text that is no number is refused, and so is a number past the valid values.
            ini::IniFile file;
            file.set(s.section, s.key, "x");
            EXPECT_EQ(model::CheckProfile(file, model::SentByWrite(every)).bad.size(), 1u) << s.key;
            if (s.about->rule.max < 1e9) {
                file.set(s.section, s.key, std::to_string(static_cast<long long>(s.about->rule.max) + 1));
                EXPECT_EQ(model::CheckProfile(file, model::SentByWrite(every)).bad.size(), 1u) << s.key;
            }
        } else if (group != model::Group::Selection && group != model::Group::Calibration) {
            EXPECT_NE(s.about->note, nullptr) << "no reason why it is never sent: " << s.section << " " << s.key;
        }
    }
    EXPECT_EQ(read, exchanged) << "the line moves a setting no row describes as exchanged";
    EXPECT_EQ(written, exchanged);
    EXPECT_EQ(compared, exchanged);
}

TEST(SettingsTable, RowsNameTheRegistersOfTheRegisterMap)
{
    namespace regs = device::regs;
    const std::pair<const char*, std::pair<const char*, regs::Register>> cells[] = {
        {"CH1", {"dat", regs::Dat(0)}},          {"CH2", {"dat", regs::Dat(1)}},
        {"CH2", {"th_type2", regs::ThType2(1)}}, {"CH2", {"koef3", regs::Koef(1, 3)}},
        {"CH2", {"his2", regs::His2(1)}},        {"CH2", {"pulse_int", regs::PulseInt(1)}},
        {"CH2", {"ki020", regs::Ki020(1)}},      {"RELE", {"rel1_msk1", regs::kRel1Msk1}},
        {"ERR", {"err_ver", regs::kErrVer}},     {"GEN", {"otk_type", regs::kOtkType}},
    };
    for (const auto& [section, row] : cells)
        EXPECT_EQ(device::RegisterOf(device::SettingRow(section, row.first)), row.second)
            << section << " " << row.first;
    EXPECT_THROW(device::SettingRow("CH3", "dat"), std::out_of_range);
}
