#include "profile_commands.h"

#include "json.h"

#include "binding/binding.h"
#include "binding/commands.h"
#include "binding/history_records.h"
#include "binding/settings_diff.h"
#include "messages/error_codes.h"
#include "model/profile.h"
#include "model/profile_check.h"

#include <algorithm>

namespace pmv::cli {
namespace {

// Prints the differences; 0 when there are none.
bool PrintDifferences(TerminalSession& s, const std::vector<binding::FieldDifference>& differences)
{
    std::fputs(binding::DifferenceLines(differences).c_str(), s.console.out);
    return !differences.empty();
}

// A float register that holds NaN or an infinity has no number to give.
std::string NotANumberNote(const std::string& text) { return "в приборе не число (" + text + ")"; }

// {"CH1":{"dat":3,"th1":55.5,...},...}: the selected groups by their profile sections and keys,
// each section once (the relay and regulator keys live in the channels' sections too). A value
// that is no number is null, and `notes` names it.
std::string SettingsJson(const model::SettingsModel& model, std::string& notes)
{
    std::vector<std::pair<std::string, std::string>> sections;
    for (const binding::SettingValue& v : binding::SelectedSettings(model)) {
        auto section =
            std::find_if(sections.begin(), sections.end(), [&](const auto& s) { return s.first == v.section; });
        if (section == sections.end())
            section = sections.insert(sections.end(), {v.section, {}});
        section->second +=
            (section->second.empty() ? "" : ",") + JsonString(v.key) + ":" + (v.finite ? JsonNumber(v.text) : "null");
        if (!v.finite)
            notes += std::string(notes.empty() ? "" : ",") + "{\"section\":" + JsonString(v.section) +
                     ",\"key\":" + JsonString(v.key) + ",\"note\":" + JsonString(NotANumberNote(v.text)) + "}";
    }
    std::string json;
    for (const auto& [name, members] : sections)
        json += (json.empty() ? "" : ",") + JsonString(name) + ":{" + members + "}";
    return "{" + json + "}";
}

// Reads the written groups back after the instrument's restart and compares them with what was
// written: 15 when they differ.
ErrorCode VerifyWrite(TerminalSession& s, const std::string& profile, const model::SettingsModel& identity)
{
    std::vector<binding::FieldDifference> differences;
    const ErrorCode code = binding::VerifyWritten(s.device, s.model, differences);
    PrintDifferences(s, differences);
    s.Record(binding::MakeHistoryRecord(
        identity, s.model, {history::kOperationVerify, code, profile, binding::DifferenceLines(differences)}));
    if (code == kOk)
        std::fprintf(s.console.err, "Проверка после записи: прибор хранит записанное.\n");
    return code;
}

// Runs a read or write command of the window on PROFILE as the window does after opening it:
// the profile is loaded (its file unchanged) and shown, then the command runs on all groups, or
// on the groups of --groups as if only their boxes were ticked.
int RunWindowCommand(TerminalSession& s, const Arguments& a, bool write)
{
    const std::string& path = a.words[0];
    std::string error;
    const auto description = LoadProfileUnchanged(path, s.model, write, error);
    if (!description)
        return s.FileFailure(error);
    const int32_t port = s.port.settings().Number;
    binding::ControlValues controls;
    binding::ShowSettings(s.model, port, controls);
    NoWindow host;
    binding::CommandContext context{s.device, s.messages, host, controls, port};
    const bool selected = a.options.count("--groups") != 0;
    // The boxes themselves are set, so that the gather at the start of the command keeps them.
    if (selected)
        binding::SetGroupBoxes(s.model, controls, *ParseGroups(a.options.at("--groups")));
    if (write) {
        model::SettingsModel boxes = s.model;
        if (!selected)
            binding::SelectAllGroups(boxes, controls);
        if (RefusedToSend(s, path, model::SentByWrite(boxes), true, a.Has("--defaults")))
            return TerminalSession::kFileFailure;
    }
    // The history rows name the instrument as it identifies itself on the line.
    model::SettingsModel identity;
    if (write) {
        context.beforeWriting = binding::IdentityBeforeWriting(s.device, identity);
        // The write's history row is ready to go when the line work ends.
        s.history.OpenAside();
    }
    ErrorCode code = kOk;
    if (write)
        code = selected ? binding::WriteSelected(context) : binding::WriteAll(context);
    else
        code = selected ? binding::ReadSelected(context) : binding::ReadAll(context);
    if (write) {
        s.Record(binding::MakeHistoryRecord(
            identity, s.model, {history::kOperationWrite, code, path, binding::SettingsValueLines(s.model)}));
        if (code == kOk && a.Has("--verify"))
            return s.Finish(VerifyWrite(s, path, identity));
        return static_cast<int>(CodeNumber(code));
    }
    if (code != kOk)
        return static_cast<int>(CodeNumber(code));
    binding::GatherSettings(controls, s.model, s.messages);
    if (const auto failure = model::SaveProfile(path, s.model, *description))
        return s.FileFailure(*failure);
    for (const binding::SettingValue& v : binding::SelectedSettings(s.model))
        if (!v.finite)
            std::fprintf(s.console.err, "[%s] %s: %s\n", v.section.c_str(), v.key.c_str(),
                         NotANumberNote(v.text).c_str());
    if (a.Has("--json")) {
        std::string notes;
        const std::string settings = SettingsJson(s.model, notes);
        std::fprintf(s.console.out, "{\"profile\":%s,\"settings\":%s%s}\n", JsonString(path).c_str(), settings.c_str(),
                     notes.empty() ? "" : (",\"notes\":[" + notes + "]").c_str());
    }
    return 0;
}

}  // namespace

int RunRead(TerminalSession& s, const Arguments& a) { return RunWindowCommand(s, a, false); }

int RunWrite(TerminalSession& s, const Arguments& a) { return RunWindowCommand(s, a, true); }

int RunDiff(TerminalSession& s, const Arguments& a)
{
    const std::string& path = a.words[0];
    std::string error;
    if (!LoadProfileUnchanged(path, s.model, true, error))
        return s.FileFailure(error);
    binding::ControlValues controls;
    binding::ShowSettings(s.model, s.port.settings().Number, controls);
    binding::SetGroupBoxes(s.model, controls,
                           a.options.count("--groups") ? *ParseGroups(a.options.at("--groups")) : GroupSelection{});
    // A value the profile cannot hold would be compared as whatever the load made of it.
    if (RefusedToSend(s, path, model::SentByWrite(s.model), false, false))
        return TerminalSession::kFileFailure;
    binding::GatherSettings(controls, s.model, s.messages);
    model::SettingsModel instrument;
    if (const ErrorCode code = binding::ReadForComparison(s.device, s.model, instrument); code != kOk)
        return s.Finish(code);
    const std::vector<binding::FieldDifference> differences = binding::CompareSettings(s.model, instrument);
    if (a.Has("--json")) {
        std::string list;
        for (const binding::FieldDifference& d : differences)
            list += std::string(list.empty() ? "" : ",") + "{\"section\":" + JsonString(d.section) +
                    ",\"key\":" + JsonString(d.key) +
                    ",\"profile\":" + (d.expectedFinite ? JsonNumber(d.expected) : "null") +
                    ",\"instrument\":" + (d.actualFinite ? JsonNumber(d.actual) : "null") +
                    (d.actualFinite ? "" : ",\"note\":" + JsonString(NotANumberNote(d.actual))) + "}";
        std::fprintf(s.console.out, "{\"profile\":%s,\"equal\":%s,\"differences\":[%s]}\n", JsonString(path).c_str(),
                     differences.empty() ? "true" : "false", list.c_str());
        return differences.empty() ? 0 : kDiffersStatus;
    }
    if (PrintDifferences(s, differences))
        return kDiffersStatus;
    std::fprintf(s.console.err, "Настройки прибора совпадают с профилем.\n");
    return 0;
}

}  // namespace pmv::cli
