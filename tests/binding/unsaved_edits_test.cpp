#include "binding/binding.h"
#include "binding/unsaved_edits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pmv::binding {
namespace {

struct Shown {
    model::SettingsModel model;
    ControlValues values;
    std::vector<std::string> description{"Прибор", "", "", ""};
};

Shown Loaded()
{
    Shown s;
    s.model.channel[0].dat = s.model.channel[1].dat = 17;
    s.model.channel[0].th1 = 50;
    ShowSettings(s.model, 1, s.values);
    return s;
}

TEST(UnsavedEdits, OnlyWhatAProfileKeepsCountsAndNumbersCountByValue)
{
    Shown s = Loaded();
    UnsavedEdits edits;
    edits.Settle(s.values, s.description);
    EXPECT_FALSE(edits.Differ(s.values, s.description, s.model));

    struct Case {
        const char* what;
        void (*edit)(Shown&);
        bool unsaved;
    };
    const Case cases[] = {
        {"the same number typed another way", [](Shown& s) { s.values.channels[0].setpoint1 = "50"; }, false},
        {"a decimal comma", [](Shown& s) { s.values.channels[0].setpoint1 = "50,0"; }, false},
        {"another number", [](Shown& s) { s.values.channels[0].setpoint1 = "50,5"; }, true},
        {"a number that does not scan", [](Shown& s) { s.values.channels[0].setpoint1 = "50x"; }, true},
        {"a hidden polynomial coefficient", [](Shown& s) { s.values.channels[1].polynomial[2] = "?"; }, true},
        {"a list", [](Shown& s) { s.values.channels[1].sensorType = 3; }, true},
        {"a relay mark", [](Shown& s) { s.values.relays.grid[1][4] = " +"; }, true},
        {"the device type", [](Shown& s) { s.values.general.deviceType = 2; }, true},
        {"the description", [](Shown& s) { s.description[2] = "третья строка"; }, true},
        {"an empty fifth description line", [](Shown& s) { s.description.push_back(""); }, false},
        {"a group box", [](Shown& s) { s.values.top.groupBoxes.relays = !s.values.top.groupBoxes.relays; }, false},
        {"the serial number", [](Shown& s) { s.values.general.serialNumber = "70000"; }, false},
        {"a value no control shows", [](Shown& s) { s.model.channel[0].uref = 1.5f; }, false},
    };
    for (const Case& c : cases) {
        Shown now = Loaded();
        c.edit(now);
        EXPECT_EQ(edits.Differ(now.values, now.description, now.model), c.unsaved) << c.what;
    }
}

TEST(UnsavedEdits, AReadOfSomeGroupsSettlesOnlyThem)
{
    Shown s = Loaded();
    UnsavedEdits edits;
    edits.Settle(s.values, s.description);
    s.values.channels[0].setpoint1 = "1";
    s.values.channels[1].setpoint1 = "2";
    edits.SettleGroups(s.values, {.channel1 = true});
    EXPECT_TRUE(edits.Differ(s.values, s.description, s.model)) << "channel 2 was not read";
    edits.SettleGroups(s.values, {.channel2 = true});
    EXPECT_FALSE(edits.Differ(s.values, s.description, s.model));
}

TEST(UnsavedEdits, AReadIsAskedAboutOnlyForTheGroupsItReplaces)
{
    Shown s = Loaded();
    UnsavedEdits edits;
    edits.Settle(s.values, s.description);
    s.values.channels[1].setpoint1 = "2";
    s.description[1] = "новая строка";
    EXPECT_FALSE(edits.DifferIn(s.values, {.channel1 = true, .relays = true, .general = true}, s.model));
    EXPECT_TRUE(edits.DifferIn(s.values, {.channel2 = true}, s.model));
    EXPECT_TRUE(edits.Differ(s.values, s.description, s.model));
}

}  // namespace
}  // namespace pmv::binding
