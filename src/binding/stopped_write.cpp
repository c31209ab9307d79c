#include "binding/stopped_write.h"

#include <algorithm>

namespace pmv::binding {
namespace {

using device::WritePart;

std::string Names(const std::vector<WritePart>& parts)
{
    std::string text;
    for (const WritePart part : parts)
        text += (text.empty() ? "" : ", ") + WritePartName(part);
    return text;
}

}  // namespace

StoppedWrite DescribeStop(const model::SettingsModel& m, const device::WriteReach& reach)
{
    const std::pair<WritePart, bool> sent[] = {
        {WritePart::Channel1, m.channel[0].select != 0}, {WritePart::Channel2, m.channel[1].select != 0},
        {WritePart::Relays, m.rele.select == 1},         {WritePart::Regulator, true},
        {WritePart::General, m.general.gen_select == 1}, {WritePart::Closing, true},
    };
    StoppedWrite stop{reach.finished, reach.stoppedIn.value_or(WritePart::Channel1), {}};
    for (const auto& [part, selected] : sent)
        if (selected && part > stop.stoppedIn &&
            std::find(reach.finished.begin(), reach.finished.end(), part) == reach.finished.end())
            stop.notWritten.push_back(part);
    return stop;
}

std::string WritePartName(WritePart part)
{
    switch (part) {
    case WritePart::Channel1: return "канал 1";
    case WritePart::Channel2: return "канал 2";
    case WritePart::Relays: return "реле";
    case WritePart::Regulator: return "регулятор";
    case WritePart::General: return "общие";
    case WritePart::Closing: return "маркер и перезапуск";
    }
    return {};
}

std::string StoppedWriteText(const StoppedWrite& stop, ErrorCode code)
{
    const ErrorMessage* failure = FindErrorMessage(code);
    std::string text = "Запись прервана: " + std::string(failure ? failure->text : "ошибка") + ".\n";
    text += "Прибор может хранить часть прежних и часть новых настроек.\n";
    text += "Записаны: " + (stop.written.empty() ? std::string("ничего") : Names(stop.written)) + ".\n";
    text += "Не дописана: " + WritePartName(stop.stoppedIn) + " (записана часть ее настроек или ни одной).\n";
    if (!stop.notWritten.empty())
        text += "Не записаны: " + Names(stop.notWritten) + ".\n";
    return text + "Записать выбранные группы еще раз?";
}

std::string StoppedWriteNote(const StoppedWrite& stop)
{
    return "запись прервана на: " + WritePartName(stop.stoppedIn) +
           (stop.written.empty() ? std::string("; ничего не записано до конца") : "; записаны: " + Names(stop.written));
}

}  // namespace pmv::binding
