#include "connection_texts.h"

#include "text_table.h"

namespace pmv {
namespace {

using L = LinkNotice;

constexpr TextRow<L> kLinkNotices[] = {
    {L::SettingsCaption, "Проверьте параметры установления связи с прибором"},
    {L::PortNumberTooLarge, "Слишком большой номер COM порта."},
    {L::LargeTimeout, "Задан большой тайм аут. Работать будет можно, но неудобно."},
    {L::CannotOpenPort, "Невозможно открыть последовательный порт"},
    {L::ErrorCaption, "Ошибка"},
    {L::PortUnmapped, "Номеру порта %1 не соответствует ни одно устройство"},
    {L::PortOpenFailed, "%1: %2"},
    {L::PortAlreadyOpen, "порт уже открыт другой программой"},
    {L::StalePortLockRemoved, "Снята брошенная блокировка порта %1: %2"},
    {L::LatencyNotLowered,
     "Драйвер %1 не снизил задержку: каждый ответ прибора приходит позже на таймер задержки адаптера"},
    {L::NetworkNameInvalid, "Неверный сетевой порт \"%1\": %2"},
    {L::NetworkNameForm, "нужен вид tcp://УЗЕЛ:ПОРТ или rfc2217://УЗЕЛ:ПОРТ"},
    {L::NetworkNameHost, "имя узла пусто или содержит недопустимые знаки"},
    {L::NetworkNamePort, "номер порта должен быть числом от 1 до 65535"},
    {L::HostNotFound, "узел %1 не найден (%2)"},
    {L::HostUnreachable, "узел %1 недоступен (%2)"},
    {L::PortRefused, "узел %1 отказал в соединении на порту %2: сервер линии там не слушает"},
    {L::NotRfc2217, "сервер %1 принял соединение, но не отвечает по RFC 2217"},
    {L::ServerClosed, "сервер закрыл соединение"},
    {L::ServerReset, "сервер сбросил соединение"},
    {L::ConnectTimedOut, "нет ответа на соединение за %1 с"},
    {L::ConnectionLost, "Соединение с %1 разорвано: %2. Ответ не получен, ничего не сохранено."},
};
static_assert(InKeyOrder(kLinkNotices));

struct FindingRow {
    FindingKind key;
    const char* text;
    const char* fix;
};

using F = FindingKind;

constexpr const char* kListAdapters = "ls -l /dev/serial/by-id/";
constexpr const char* kRetryCheck = "pmvctl doctor";

constexpr FindingRow kFindings[] = {
    {F::PortUnmapped,
     "Номер порта не указывает ни на одно устройство: последовательных портов найдено меньше, чем этот номер. "
     "Выберите другой номер порта или подключите адаптер.",
     kListAdapters},
    {F::DeviceMissing, "Устройства %1 нет: адаптер не подключён или в dev.dat указан другой порт.", kListAdapters},
    {F::GivenDeviceMissing, "Устройства %1 нет: адаптер не подключён или параметр --port называет другое устройство.",
     ""},
    {F::DevicePresent, "Устройство %1 есть.", ""},
    {F::NotASerialPort, "%1 не последовательный порт (устройство вида %2): прибор на нем искать нельзя.",
     kListAdapters},
    {F::AccessGranted, "Права на чтение и запись %1 есть.", ""},
    {F::AccessAfterNewLogin,
     "Пользователь %1 уже в группе %2, но этот сеанс начат до того: права появятся после нового входа в систему "
     "(или в оболочке, запущенной командой ниже).",
     "newgrp %2"},
    {F::AccessDenied,
     "Нет прав на чтение и запись %1: устройство принадлежит группе %2, а пользователь %3 в неё не входит. После "
     "добавления в группу нужен новый вход в систему.",
     "sudo usermod -aG %2 %3"},
    {F::PortHeld, "Порт %1 занят другой программой: %2 (PID %3). Пока она держит порт, открыть его нельзя.", "kill %3"},
    {F::PortFree, "Другие программы порт не держат.", ""},
    {F::BrlttyAbsent, "brltty не установлен.", ""},
    {F::BrlttyGrabsAdapter,
     "Установлен brltty (программа для брайлевских дисплеев), а подключён адаптер CH340 или CP210x: brltty забирает "
     "такие адаптеры себе, и порт пропадает сразу после подключения.",
     "sudo apt-get remove brltty"},
    {F::BrlttyHarmless, "brltty установлен, но адаптеров CH340/CP210x, которые он забирает, нет.", ""},
    {F::ModemManagerStopped, "ModemManager не запущен.", ""},
    {F::ModemManagerRuled, "ModemManager запущен, правило udev программы велит ему не трогать адаптеры.", ""},
    {F::ModemManagerInterferes,
     "Запущен ModemManager, а правило udev программы (%1) не установлено: ModemManager опрашивает каждый новый порт "
     "AT-командами и несколько секунд держит его занятым.",
     "sudo systemctl disable --now ModemManager"},
    {F::NoLatencyTimer, "Таймера задержки у этого устройства нет.", ""},
    {F::LatencyUnread, "Таймер задержки адаптера не прочитан.", ""},
    {F::LatencyLow, "Таймер задержки адаптера %1 мс.", ""},
    {F::LatencyHigh,
     "Таймер задержки адаптера %1 мс: каждый ответ прибора приходит на %1 мс позже, обмен идёт медленнее.",
     "echo 1 | sudo tee %2"},
    {F::AnswersRefused,
     "Прибор отвечает по адресу %1 на скорости %2, версия программы %3. Но контрольные суммы его ответов не сходятся, "
     "и каждый ответ отвергается (ERR 6): помехи на линии или прибор считает их иначе. Если так всегда, отключите их "
     "проверку в dev.dat.",
     "VerifyAnswerCrc=0 в разделе [DEVICE] файла dev.dat"},
    {F::AnswersVerified,
     "Прибор отвечает по адресу %1 на скорости %2, версия программы %3. Контрольные суммы его ответов сходятся.", ""},
    {F::AnswersUncheckedButGood,
     "Прибор отвечает по адресу %1 на скорости %2, версия программы %3. Контрольные суммы его ответов сходятся, но их "
     "проверка отключена в dev.dat (VerifyAnswerCrc=0): её можно включить.",
     ""},
    {F::AnswersUncheckedAndBad,
     "Прибор отвечает по адресу %1 на скорости %2, версия программы %3. Контрольные суммы его ответов не сходятся; их "
     "проверка отключена в dev.dat (VerifyAnswerCrc=0).",
     ""},
    {F::InstrumentSilent,
     "Прибор не ответил по адресу %1 на скорости %2 (%3). Возможно, у прибора другой адрес или скорость: запустите "
     "поиск прибора.",
     "pmvctl scan"},
    {F::PortNotSet, "Порт не задан, прибор не опрошен. Устраните причины выше и повторите проверку.", kRetryCheck},
    {F::PortNotOpen, "Порт %1 не открыт, прибор не опрошен. Устраните причины выше и повторите проверку.", kRetryCheck},
    {F::NetworkNameBad, "Сетевой порт \"%1\" задан неверно: %2.", "pmvctl --port tcp://УЗЕЛ:ПОРТ doctor"},
    {F::NetworkHostNotFound,
     "Узел %1 не найден (%2): имя сервера линии написано с ошибкой или неизвестно этому компьютеру.",
     "getent hosts %1"},
    {F::NetworkHostUnreachable, "Узел %1 недоступен (%2): сервер линии выключен, в другой сети или путь к нему закрыт.",
     "ping -c 3 %1"},
    {F::NetworkPortRefused,
     "Узел %1 отвечает, но на порту %2 соединения не принимают: сервер линии не запущен или слушает другой порт.",
     "nc -vz %1 %2"},
    {F::NetworkNotRfc2217,
     "Сервер %1 принял соединение, но не говорит по RFC 2217, и скорость линии с компьютера не задать. Если сервер "
     "в режиме \"TCP server\", укажите порт tcp://%1, а скорость задайте на самом сервере.",
     "pmvctl --port tcp://%1 doctor"},
    {F::NetworkLineHeld, "Линия %1 уже открыта другой программой на этом компьютере.", ""},
    {F::NetworkConnected, "Соединение с %1 установлено (TCP, скорость задана на сервере), отклик %2 мс.", ""},
    {F::NetworkConnectedRfc2217, "Соединение с %1 установлено, сервер задаёт скорость линии по RFC 2217, отклик %2 мс.",
     ""},
    {F::OpenFailureWithFix, "%1 Команда: %2", ""},
    {F::OpenFailure, "Порт %1 не открыт: %2", ""},
};
static_assert(InKeyOrder(kFindings));

// Stable names for scripts (pmvctl doctor --json): never translated, never renamed.
constexpr TextRow<F> kFindingIds[] = {
    {F::PortUnmapped, "port_unmapped"},
    {F::DeviceMissing, "device_missing"},
    {F::GivenDeviceMissing, "given_device_missing"},
    {F::DevicePresent, "device_present"},
    {F::NotASerialPort, "not_a_serial_port"},
    {F::AccessGranted, "access_granted"},
    {F::AccessAfterNewLogin, "access_after_new_login"},
    {F::AccessDenied, "access_denied"},
    {F::PortHeld, "port_held"},
    {F::PortFree, "port_free"},
    {F::BrlttyAbsent, "brltty_absent"},
    {F::BrlttyGrabsAdapter, "brltty_grabs_adapter"},
    {F::BrlttyHarmless, "brltty_harmless"},
    {F::ModemManagerStopped, "modem_manager_stopped"},
    {F::ModemManagerRuled, "modem_manager_ruled"},
    {F::ModemManagerInterferes, "modem_manager_interferes"},
    {F::NoLatencyTimer, "no_latency_timer"},
    {F::LatencyUnread, "latency_unread"},
    {F::LatencyLow, "latency_low"},
    {F::LatencyHigh, "latency_high"},
    {F::AnswersRefused, "answers_refused"},
    {F::AnswersVerified, "answers_verified"},
    {F::AnswersUncheckedButGood, "answers_unchecked_but_good"},
    {F::AnswersUncheckedAndBad, "answers_unchecked_and_bad"},
    {F::InstrumentSilent, "instrument_silent"},
    {F::PortNotSet, "port_not_set"},
    {F::PortNotOpen, "port_not_open"},
    {F::NetworkNameBad, "network_name_bad"},
    {F::NetworkHostNotFound, "network_host_not_found"},
    {F::NetworkHostUnreachable, "network_host_unreachable"},
    {F::NetworkPortRefused, "network_port_refused"},
    {F::NetworkNotRfc2217, "network_not_rfc2217"},
    {F::NetworkLineHeld, "network_line_held"},
    {F::NetworkConnected, "network_connected"},
    {F::NetworkConnectedRfc2217, "network_connected_rfc2217"},
    {F::OpenFailureWithFix, "open_failure_with_fix"},
    {F::OpenFailure, "open_failure"},
};
static_assert(InKeyOrder(kFindingIds));

}  // namespace

std::string Text(LinkNotice notice, std::initializer_list<std::string_view> values)
{
    return FillIn(RowOf(kLinkNotices, notice).text, values);
}

std::string FindingText(FindingKind kind, std::initializer_list<std::string_view> values)
{
    return FillIn(RowOf(kFindings, kind).text, values);
}

std::string FindingFix(FindingKind kind, std::initializer_list<std::string_view> values)
{
    return FillIn(RowOf(kFindings, kind).fix, values);
}

std::string FindingId(FindingKind kind) { return RowOf(kFindingIds, kind).text; }

}  // namespace pmv
