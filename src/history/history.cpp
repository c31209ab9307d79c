#include "history/history.h"

#include "history/postgres_history.h"
#include "history/sqlite_history.h"
#include "history/store_texts.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>
#include <utility>

namespace pmv::history {

std::string LocalNow() { return QDateTime::currentDateTime().toString(Qt::ISODate).toStdString(); }

std::string WriteFailure(const std::string& where, const std::string& reason)
{
    return "Не удается записать журнал приборов " + where + ": " + reason;
}

std::string ReadFailure(const std::string& where, const std::string& reason)
{
    return "Не удается прочитать журнал приборов " + where + ": " + reason;
}

namespace {

std::string When(std::string time)
{
    if (time.size() > 10 && time[10] == 'T')
        time[10] = ' ';
    return time;
}

}  // namespace

std::string ReservedText(int32_t typeCode, int32_t serial, const std::string& reserved, std::optional<int64_t> outcome)
{
    return "Номер " + InstrumentNumber(typeCode, serial) + " уже выдан " + When(reserved) + ": " +
           (!outcome        ? std::string("выпуск не завершен")
            : *outcome == 0 ? std::string("прибор выпущен")
                            : "выпуск завершился ошибкой, код " + std::to_string(*outcome));
}

std::string WrittenText(int32_t typeCode, int32_t serial, const std::string& written)
{
    return "Номер " + InstrumentNumber(typeCode, serial) + " уже записан в прибор " + When(written);
}

std::string PassportExistsText(int32_t typeCode, int32_t serial)
{
    return "Паспорт прибора " + InstrumentNumber(typeCode, serial) + " уже есть";
}

std::string RangeEndText(int32_t typeCode, bool passport)
{
    return "Номера приборов типа " + InstrumentNumber(typeCode, 0).substr(0, 3) + " исчерпаны: " +
           (passport ? "паспорт " + InstrumentNumber(typeCode, kLastSerial) + " уже есть"
                     : InstrumentNumber(typeCode, kLastSerial) + " уже выдан");
}

std::string GivenTwiceText(int32_t typeCode, int32_t serial)
{
    return "Номер " + InstrumentNumber(typeCode, serial) + " уже выдан";
}

bool IsServerAddress(std::string_view where)
{
    return where.starts_with("postgresql://") || where.starts_with("postgres://");
}

std::unique_ptr<History> MakeHistory(const std::string& where, const std::string& folder)
{
    if (where.empty())
        return std::make_unique<SqliteHistory>((std::filesystem::path(folder) / kHistoryFileName).string());
    return std::make_unique<PostgresHistory>(where);
}

SelectedHistory::SelectedHistory(std::string where, std::string folder)
    : where_(std::move(where)), folder_(std::move(folder)), store_(MakeHistory(where_, folder_))
{}

void SelectedHistory::Use(const std::string& where)
{
    if (where == where_)
        return;
    store_.reset();
    where_ = where;
    store_ = MakeHistory(where_, folder_);
}

std::string OperationCode(const std::string& operation)
{
    static const std::pair<const char*, const char*> kCodes[] = {
        {kOperationWrite, "write"},
        {kOperationVerify, "verify"},
        {kOperationSerial, "serial"},
        {kOperationPassport, "passport"},
        {kOperationCalibration, "calibration"},
        {kOperationFactoryReset, "factory_reset"},
        {kOperationReservation, "reservation"},
        {kOperationProduction, "production"},
    };
    for (const auto& [word, code] : kCodes)
        if (operation == word)
            return code;
    return "other";
}

std::string InstrumentNumber(int32_t typeCode, int32_t serial)
{
    char text[32];
    std::snprintf(text, sizeof text, "%03d-%05d", typeCode, serial);
    return text;
}

namespace {

std::optional<int32_t> ParseDecimal(std::string_view text, int32_t max)
{
    int32_t value = 0;
    const char* end = text.data() + text.size();
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    const auto parsed = std::from_chars(text.data(), end, value);
    if (parsed.ec != std::errc() || parsed.ptr != end || value > max)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<int32_t> ParseTypeCode(std::string_view text) { return ParseDecimal(text, 255); }

std::optional<int32_t> ParseSerialNumber(std::string_view text) { return ParseDecimal(text, kLastSerial); }

std::optional<InstrumentId> ParseInstrumentNumber(std::string_view text, LoneNumber lone)
{
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
        const auto number = lone == LoneNumber::Serial ? ParseSerialNumber(text) : ParseTypeCode(text);
        if (!number)
            return std::nullopt;
        return lone == LoneNumber::Serial ? InstrumentId{std::nullopt, number} : InstrumentId{number, std::nullopt};
    }
    const auto typeCode = ParseTypeCode(text.substr(0, dash));
    const auto serial = ParseSerialNumber(text.substr(dash + 1));
    if (!typeCode || !serial)
        return std::nullopt;
    return InstrumentId{typeCode, serial};
}

std::string FileSha256(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result().toHex().toStdString();
}

std::string OperatorLogin()
{
    if (const passwd* user = getpwuid(geteuid()); user && user->pw_name)
        return user->pw_name;
    const char* name = std::getenv("USER");
    return name ? name : "";
}

}  // namespace pmv::history
