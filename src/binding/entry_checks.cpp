#include "binding/entry_checks.h"

#include "binding/number_text.h"
#include "messages/error_codes.h"
#include "messages/messages.h"

#include <array>
#include <string>

namespace pmv {
namespace {

using CV = ControlValues;

struct EntryCheck {
    std::string CV::*field;
    bool (*passes)(const std::string&);
    const char* text;
    const char* caption;
};

constexpr const char* kChannel1 = "Ошибка задания параметров канала 1.";
constexpr const char* kChannel2 = "Ошибка задания параметров канала 2.";
constexpr const char* kGeneral = "Ошибка задания общеприборных параметров.";

constexpr std::array<EntryCheck, 29> kEntryChecks = {{
    {&CV::Edit2, IsNumberText, "Ошибка задания минимума диапазона.", kChannel1},
    {&CV::Edit53, IsSerialNumberText, "Ошибка задания заводского номера прибора.", kGeneral},
    {&CV::Edit1, IsNumberText, "Ошибка задания максимума диапазона.", kChannel1},
    {&CV::Edit3, IsNumberText, "Ошибка задания смещения диапазона.", kChannel1},
    {&CV::Edit4, IsNumberText, "Ошибка задания подстройки диапазона.", kChannel1},
    {&CV::Edit5, IsNumberText, "Ошибка задания уставки 1.", kChannel1},
    {&CV::Edit7, IsNumberText, "Ошибка задания уставки 2.", kChannel1},
    {&CV::Edit6, IsNumberText, "Ошибка задания гистерезиса уставки 1.", kChannel1},
    {&CV::Edit8, IsNumberText, "Ошибка задания гистерезиса уставки 2.", kChannel1},
    {&CV::ComboBox21, IsNumberText, "Ошибка задания скорости изменения уставки.", kChannel1},
    {&CV::ComboBox22, IsNumberText, "Ошибка задания скорости изменения гистерезиса.", kChannel1},
    {&CV::Edit9, IsNumberText, "Ошибка задания коэффициента 1 полинома.", kChannel1},
    {&CV::Edit10, IsNumberText, "Ошибка задания коэффициента 2 полинома.", kChannel1},
    {&CV::Edit11, IsNumberText, "Ошибка задания коэффициента 3 полинома.", kChannel1},
    {&CV::Edit12, IsNumberText, "Ошибка задания коэффициента 4 полинома.", kChannel1},
    {&CV::Edit14, IsNumberText, "Ошибка задания минимума диапазона.", kChannel2},
    {&CV::Edit13, IsNumberText, "Ошибка задания максимума диапазона.", kChannel2},
    {&CV::Edit15, IsNumberText, "Ошибка задания смещения диапазона.", kChannel2},
    {&CV::Edit16, IsNumberText, "Ошибка задания подстройки диапазона.", kChannel2},
    {&CV::Edit17, IsNumberText, "Ошибка задания уставки 1.", kChannel2},
    {&CV::Edit19, IsNumberText, "Ошибка задания уставки 2.", kChannel2},
    {&CV::Edit18, IsNumberText, "Ошибка задания гистерезиса уставки 1.", kChannel2},
    {&CV::Edit20, IsNumberText, "Ошибка задания гистерезиса уставки 2.", kChannel2},
    {&CV::ComboBox23, IsNumberText, "Ошибка задания скорости изменения уставки.", kChannel2},
    {&CV::ComboBox24, IsNumberText, "Ошибка задания скорости изменения гистерезиса уставки.", kChannel2},
    {&CV::Edit21, IsNumberText, "Ошибка задания коэффициента 1 полинома.", kChannel2},
    {&CV::Edit22, IsNumberText, "Ошибка задания коэффициента 2 полинома.", kChannel2},
    {&CV::Edit23, IsNumberText, "Ошибка задания коэффициента 3 полинома.", kChannel2},
    {&CV::Edit24, IsNumberText, "Ошибка задания коэффициента 4 полинома.", kChannel2},
}};

}  // namespace

uint32_t CheckEntries(const ControlValues& values, Messages& messages)
{
    for (const EntryCheck& check : kEntryChecks)
        if (!check.passes(values.*check.field)) {
            messages.ShowMessage(check.text, check.caption, MessageIcon::Error);
            return kStoppedToCorrect;
        }
    return kOk;
}

}  // namespace pmv
