#include "binding/unsaved_edits.h"

#include "binding/binding.h"
#include "binding/number_text.h"
#include "messages/messages.h"

#include <algorithm>

namespace pmv::binding {
namespace {

constexpr size_t kDescriptionLines = 4;

// Gathering for the comparison only: a serial number above 65535 is told by the commands.
class Unheard final : public Messages {
public:
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
    void ShowDetailedMessage(const std::string&, const std::string&, const std::string&, MessageIcon) override {}
    bool AskYesNo(Question, const std::string&, const std::string&, MessageIcon) override { return false; }
    void DiscardPendingKeys() override {}
};

// The settings a profile keeps, as the controls give them.
model::SettingsModel Gathered(const ControlValues& shown, const model::SettingsModel& model)
{
    model::SettingsModel gathered = model;
    Unheard unheard;
    GatherSettings(shown, gathered, unheard);
    gathered.serial_lo = gathered.serial_hi = 0;
    gathered.made_day = gathered.made_month = gathered.made_year = 0;
    gathered.definition = {};
    // The group boxes choose what the next exchange moves; they are no setting of the instrument.
    gathered.channel[0].select = gathered.channel[1].select = gathered.rele.select = gathered.general.gen_select = 0;
    return gathered;
}

std::vector<std::string> ProfileLines(std::vector<std::string> lines)
{
    lines.resize(kDescriptionLines);
    return lines;
}

// A number text changed into one that does not scan: gathering keeps the old value for it.
bool UnscannedEdit(const ChannelControls& settled, const ChannelControls& shown)
{
    const std::string ChannelControls::*texts[] = {&ChannelControls::rangeMax,     &ChannelControls::rangeMin,
                                                   &ChannelControls::shift,        &ChannelControls::rangeAdjust,
                                                   &ChannelControls::setpoint1,    &ChannelControls::hysteresis1,
                                                   &ChannelControls::setpoint2,    &ChannelControls::hysteresis2,
                                                   &ChannelControls::setpointStep, &ChannelControls::hysteresisStep};
    const auto edited = [](const std::string& before, const std::string& now) {
        return now != before && !IsNumberText(now);
    };
    return std::any_of(std::begin(texts), std::end(texts),
                       [&](auto text) { return edited(settled.*text, shown.*text); }) ||
           !std::equal(settled.polynomial.begin(), settled.polynomial.end(), shown.polynomial.begin(),
                       [&](const std::string& a, const std::string& b) { return !edited(a, b); });
}

// The settings of the groups `groups` as `from` shows them, into `to`.
void CopyGroups(const ControlValues& from, const GroupFlags& groups, ControlValues& to)
{
    if (groups.channel1)
        to.channels[0] = from.channels[0];
    if (groups.channel2)
        to.channels[1] = from.channels[1];
    if (groups.relays)
        to.relays = from.relays;
    if (groups.general) {
        to.general.deviceType = from.general.deviceType;
        to.general.errorDisplay = from.general.errorDisplay;
        to.general.typeCode = from.general.typeCode;
    }
}

}  // namespace

void UnsavedEdits::Settle(const ControlValues& shown, const std::vector<std::string>& description)
{
    settled_ = shown;
    description_ = ProfileLines(description);
}

void UnsavedEdits::SettleGroups(const ControlValues& shown, const GroupFlags& read)
{
    CopyGroups(shown, read, settled_);
}

bool UnsavedEdits::DifferIn(const ControlValues& shown, const GroupFlags& read, const model::SettingsModel& model) const
{
    ControlValues replaced = settled_;
    CopyGroups(shown, read, replaced);
    return Differ(replaced, description_, model);
}

bool UnsavedEdits::Differ(const ControlValues& shown, const std::vector<std::string>& description,
                          const model::SettingsModel& model) const
{
    if (ProfileLines(description) != description_)
        return true;
    for (size_t ch = 0; ch < shown.channels.size(); ++ch)
        if (UnscannedEdit(settled_.channels[ch], shown.channels[ch]))
            return true;
    return !(Gathered(shown, model) == Gathered(settled_, model));
}

}  // namespace pmv::binding
