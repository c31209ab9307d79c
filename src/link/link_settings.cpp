#include "link_settings.h"

#include "exchange.h"
#include "ini/ini_file.h"
#include "messages/connection_texts.h"
#include "messages/messages.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <limits>

namespace pmv::link {
namespace {

struct LinkKey {
    const char* section;
    const char* key;
    int32_t LinkSettings::*number;  // one of the two is set
    std::string LinkSettings::*text;
};

// The keys in the order a new dev.dat holds them. EnableNetAdrr is written there and never read.
const std::array<LinkKey, 10> kNewFileKeys{{
    {"COM_SETTINGS", "Number", &LinkSettings::Number, nullptr},
    {"COM_SETTINGS", "Settings", nullptr, &LinkSettings::Settings},
    {"DEVICE", "EnableNetAdrr", nullptr, nullptr},
    {"DEVICE", "NetAdrr", &LinkSettings::NetAdrr, nullptr},
    {"SETTINGS", "NOfReadings", &LinkSettings::NOfReadings, nullptr},
    {"SETTINGS", "TimeOut", &LinkSettings::TimeOut, nullptr},
    {"LOG", "UseLogFile", &LinkSettings::UseLogFile, nullptr},
    {"LOG", "LogFileName", nullptr, &LinkSettings::LogFileName},
    {"IZM", "UseIzmFile", &LinkSettings::UseIzmFile, nullptr},
    {"IZM", "IzmFileName", nullptr, &LinkSettings::IzmFileName},
}};

const LinkKey& kNumberKey = kNewFileKeys[0];
const LinkKey& kSettingsKey = kNewFileKeys[1];
const LinkKey& kAddressKey = kNewFileKeys[3];
constexpr const char* kPortsSection = "PORTS";

std::string PortKey(int32_t number) { return "COM" + std::to_string(number); }

// Read, never written: the file of an instrument that needs it says so by hand.
constexpr std::array<const char*, 2> kVerifyAnswersKey{"DEVICE", "VerifyAnswerCrc"};
constexpr std::array<const char*, 2> kHistoryServerKey{"HISTORY", "Server"};

// The order in which the keys are read and written back.
constexpr std::array<int, 9> kReadOrder{4, 0, 1, 3, 5, 6, 8, 7, 9};

constexpr int32_t kPortCount = 8;

std::string ValueText(const LinkSettings& s, const LinkKey& k)
{
    if (k.number)
        return std::to_string(s.*k.number);
    if (k.text)
        return s.*k.text;
    return "1";  // EnableNetAdrr
}

}  // namespace

std::string LinkSettingsPath()
{
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::current_path(error);
    return error ? std::string("dev.dat") : (directory / "dev.dat").string();
}

std::optional<ini::FileError> SaveAddressAndSpeed(const std::string& path, const LinkSettings& settings)
{
    ini::IniFile file = ini::IniFile::Load(path);
    // A line description holding a line break could not stay one key of the file.
    if (!file.set(kAddressKey.section, kAddressKey.key, ValueText(settings, kAddressKey)) ||
        !file.set(kSettingsKey.section, kSettingsKey.key, ValueText(settings, kSettingsKey)))
        return ini::FileError{ini::FileOperation::Write, path, EINVAL};
    return file.save(path);
}

std::optional<ini::FileError> SavePortNumber(const std::string& path, int32_t number)
{
    return ini::WriteIniString(path, kNumberKey.section, kNumberKey.key, std::to_string(number));
}

std::optional<ini::FileError> SavePortDevice(const std::string& path, int32_t number, const std::string& device)
{
    return ini::WriteIniString(path, kPortsSection, PortKey(number), device);
}

std::optional<ini::FileError> SaveHistoryServer(const std::string& path, const std::string& address)
{
    return ini::WriteIniString(path, kHistoryServerKey[0], kHistoryServerKey[1], address);
}

std::string ReadHistoryServer(const std::string& path)
{
    return ini::ReadIniString(path, kHistoryServerKey[0], kHistoryServerKey[1], "");
}

int32_t ReadDeviceAddress(const std::string& path, int32_t fallback)
{
    return ini::ParseIniInt(ini::ReadIniString(path, kAddressKey.section, kAddressKey.key, std::to_string(fallback)))
        .value_or(fallback);
}

uint32_t BaudRateFromSettings(const std::string& text)
{
    uint32_t baud = 4800;
    for (const char* rate : {"9600", "19200", "38400", "57600"})
        if (text.find(rate) != std::string::npos)
            baud = static_cast<uint32_t>(std::stoul(rate));
    return baud;
}

uint32_t ByteTimeoutForBaud(uint32_t baud)
{
    struct Rate {
        uint32_t baud, byteTimeout;
    };
    constexpr std::array<Rate, 5> kRates{{{4800, 12}, {9600, 9}, {19200, 5}, {38400, 3}, {57600, 2}}};
    for (const Rate& r : kRates)
        if (r.baud == baud)
            return r.byteTimeout;
    return kUnknownBaudByteTimeout;
}

void SetLineSpeed(LinkValues& values, uint32_t baud)
{
    values.BaudRate = baud;
    values.ByteTimeout = ByteTimeoutForBaud(baud);
}

uint32_t ClampReadings(int32_t nOfReadings)
{
    const auto n = static_cast<uint32_t>(nOfReadings);
    return n < 2 ? 2 : (n > 5 ? 5 : n);
}

void ApplyLinkValues(const LinkSettings& settings, LinkValues& values)
{
    values.DeviceAddress = static_cast<uint32_t>(settings.NetAdrr);
    values.RetryCount = ClampReadings(settings.NOfReadings);
    values.AnswerTimeout = settings.AnswerTimeout;
    values.UseLogFile = settings.UseLogFile == 1;
    values.LogFileName = settings.LogFileName;
    values.VerifyAnswers = settings.VerifyAnswerCrc != 0;
}

std::optional<ini::FileError> LoadLinkSettings(const std::string& path, LinkSettings& settings, Messages& messages)
{
    const LinkSettings defaults;
    std::optional<ini::FileError> failure;
    ini::IniFile file = ini::IniFile::Load(path);
    if (!file.exists()) {
        for (const LinkKey& k : kNewFileKeys)
            file.set(k.section, k.key, ValueText(defaults, k));
        failure = file.save(path);
    }

    const std::string before = file.bytes();
    for (int index : kReadOrder) {
        const LinkKey& k = kNewFileKeys[static_cast<size_t>(index)];
        const std::optional<std::string> value = file.get(k.section, k.key);
        if (k.number)
            settings.*k.number = value ? ini::ParseIniInt(*value).value_or(defaults.*k.number) : defaults.*k.number;
        else
            settings.*k.text = value.value_or(defaults.*k.text);
        file.set(k.section, k.key, ValueText(settings, k));
    }
    // Nothing needs writing when every key was already there as it would be written.
    if (!failure && file.bytes() != before)
        failure = file.save(path);

    const std::optional<std::string> verify = file.get(kVerifyAnswersKey[0], kVerifyAnswersKey[1]);
    settings.VerifyAnswerCrc =
        verify ? ini::ParseIniInt(*verify).value_or(defaults.VerifyAnswerCrc) : defaults.VerifyAnswerCrc;

    settings.HistoryServer = file.get(kHistoryServerKey[0], kHistoryServerKey[1]).value_or("");

    settings.PortDevices.clear();
    for (int32_t n = 1; n <= kPortCount; ++n)
        if (auto device = file.get(kPortsSection, PortKey(n)); device && !device->empty())
            settings.PortDevices[n] = *device;

    settings.BaudRate = BaudRateFromSettings(settings.Settings);
    // A negative time-out would wait for weeks; it counts as none (the 1 s minimum applies).
    const int64_t timeoutMs = std::max<int64_t>(settings.TimeOut, 0) * 1000;
    settings.AnswerTimeout = static_cast<uint32_t>(std::min<int64_t>(timeoutMs, std::numeric_limits<uint32_t>::max()));

    if (settings.Number < 1 || settings.Number > kPortCount)
        messages.ShowMessage(Text(LinkNotice::PortNumberTooLarge), Text(LinkNotice::SettingsCaption),
                             MessageIcon::Warning);
    if (settings.AnswerTimeout > 4000)
        messages.ShowMessage(Text(LinkNotice::LargeTimeout), Text(LinkNotice::SettingsCaption),
                             MessageIcon::Information);
    return failure;
}

std::string PortDevice(int32_t number, const std::map<int32_t, std::string>& explicitDevices,
                       const std::vector<std::string>& foundPorts)
{
    if (number < 1 || number > kPortCount)
        return {};
    if (auto it = explicitDevices.find(number); it != explicitDevices.end())
        return it->second;
    const auto index = static_cast<size_t>(number - 1);
    return index < foundPorts.size() ? foundPorts[index] : std::string();
}

std::vector<std::string> OrderSerialPorts(std::vector<std::string> devices)
{
    auto rank = [](const std::string& d) {
        const std::string name = std::filesystem::path(d).filename().string();
        const int kind = name.starts_with("ttyUSB") ? 0 : name.starts_with("ttyACM") ? 1 : 2;
        const size_t digits = name.find_last_not_of("0123456789") + 1;
        const long number = digits < name.size() ? std::stol(name.substr(digits)) : -1;
        return std::tuple(kind, name.substr(0, digits), number, name);
    };
    std::sort(devices.begin(), devices.end(),
              [&](const std::string& a, const std::string& b) { return rank(a) < rank(b); });
    return devices;
}

}  // namespace pmv::link
