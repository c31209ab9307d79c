#include "error_codes.h"

#include "messages.h"

#include <array>
#include <ostream>

namespace pmv {
namespace {

constexpr const char* kErr = "Ошибка";
constexpr const char* kRemark = "Замечание по настройкам";

constexpr std::array<ErrorMessage, 23> kErrorMessages{{
    {"Слишком много символов  (ERR 1)", kErr, MessageIcon::Error},
    {"Прибор не ответил (ERR 2)", kErr, MessageIcon::Error},
    {"Прибор не смог разобрать команду (ERR 3)", kErr, MessageIcon::Error},
    {"Слишком большой операнд (ERR 4)", kErr, MessageIcon::Error},
    {"Слишком большой адрес (ERR 5)", kErr, MessageIcon::Error},
    {"Ответ поврежден- не сошлась контрольная сумма (ERR 6)", kErr, MessageIcon::Error},
    {"Прибор сообщает о какой-то ошибке (ERR 7)", kErr, MessageIcon::Error},
    {"Ошибка доступа к модулю АЦП (ERR 8)", kErr, MessageIcon::Error},
    {"Нет ответа модуля (ERR 9)", kErr, MessageIcon::Error},
    {"Такого модуля в приборе нет (ERR 10)", kErr, MessageIcon::Error},
    {"Ошибка контрольной суммы модуля (ERR 11)", kErr, MessageIcon::Error},
    {"Слишком большой адрес в запросе модуля (ERR 12)", kErr, MessageIcon::Error},
    {"Ошибка при ответе модуля (ERR 13)", kErr, MessageIcon::Error},
    {"Файл не открывается (ERR 14)", kErr, MessageIcon::Error},
    {"Не совпадает записанное и прочитанное (ERR 15)", kErr, MessageIcon::Error},
    {"Прекратили запись для уточнения настроек (ERR 16)", kRemark, MessageIcon::Warning},
    {"Прекратили запись чтобы поправить настройки (ERR 17)", kRemark, MessageIcon::Warning},
    {"Ошибка в операциях Windows при разборе ответа (ERR 18)", kErr, MessageIcon::Error},
    {"Формат ответа не похож на ожидаемый (ERR 19)", kErr, MessageIcon::Error},
    {"Ход процесса остановлен пользователем (ERR 20)", "Информация пользователю", MessageIcon::Warning},
    {"Передано число не являющееся числом с плавающей запятой (ERR 21)", kErr, MessageIcon::Error},
    {"Параметр не найден (ERR 22)", kErr, MessageIcon::Error},
    {"Неправильно задано число (ERR 23)", kErr, MessageIcon::Error},
}};

}  // namespace

std::ostream& operator<<(std::ostream& out, ErrorCode code)
{
    return code == kOk ? out << "OK" : out << "ERR " << CodeNumber(code);
}

const ErrorMessage* FindErrorMessage(ErrorCode code)
{
    const uint32_t number = CodeNumber(code);
    if (number == 0 || number > kErrorMessages.size())
        return nullptr;
    return &kErrorMessages[number - 1];
}

ErrorCode ShowErrorMessage(Messages& messages, ErrorCode code)
{
    messages.ResultReported(code);
    messages.DiscardPendingKeys();
    if (const ErrorMessage* m = FindErrorMessage(code))
        messages.ShowMessage(m->text, m->caption, m->icon);
    return kOk;
}

}  // namespace pmv
