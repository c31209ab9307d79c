#pragma once

#include "ini/file_error.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::link {

struct LinkValues;

// The contents of dev.dat: on which port the instrument hangs, how fast the line runs, which
// address the instrument answers to, how often and how long an exchange is tried, and the logs.
struct LinkSettings {
    int32_t Number = 1;
    std::string Settings = "9600,N,8,2";
    int32_t NetAdrr = 1;
    int32_t NOfReadings = 2;
    int32_t TimeOut = 1;  // seconds
    int32_t UseLogFile = 1;
    std::string LogFileName = "COM.txt";
    int32_t UseIzmFile = 1;
    std::string IzmFileName = "IZM.txt";
    // [DEVICE] VerifyAnswerCrc: 0 accepts answers whose checksum does not match, for an
    // instrument that computes it otherwise. Read only; a new dev.dat does not list it.
    int32_t VerifyAnswerCrc = 1;
    // [HISTORY] Server: the PostgreSQL server of the history of instruments several stations
    // share (postgresql://USER@HOST/DATABASE); empty for history.sqlite in the work folder. A new
    // dev.dat does not list it.
    std::string HistoryServer;

    uint32_t BaudRate = 9600;       // taken from Settings
    uint32_t AnswerTimeout = 1000;  // ms

    // [PORTS] COMn=device: explicit devices for port numbers.
    std::map<int32_t, std::string> PortDevices;
};

// dev.dat in the current working directory.
std::string LinkSettingsPath();

// Reads the link settings file, creating it with defaults when missing and writing back every
// key so that a hand-edited file missing one gets it; then warns about a port number outside
// 1..8 and about a long answer time-out. Returns a write the system refused, if any (the
// settings are loaded all the same).
std::optional<ini::FileError> LoadLinkSettings(const std::string& path, LinkSettings& settings, Messages& messages);

// Writes the device address and the line description into dev.dat in one replacement of the
// file: a stop between two writes would leave the new address with the old speed.
std::optional<ini::FileError> SaveAddressAndSpeed(const std::string& path, const LinkSettings& settings);

// Writes the port number into dev.dat, as the window does on close.
std::optional<ini::FileError> SavePortNumber(const std::string& path, int32_t number);

// Binds a port number to a device in the [PORTS] section of dev.dat.
std::optional<ini::FileError> SavePortDevice(const std::string& path, int32_t number, const std::string& device);

// Names the history's server in dev.dat; empty goes back to the file of the work folder.
std::optional<ini::FileError> SaveHistoryServer(const std::string& path, const std::string& address);

// The history's server of dev.dat without loading the rest, and without making dev.dat.
std::string ReadHistoryServer(const std::string& path);

// The device address of dev.dat without loading the rest; `fallback` when there is none.
int32_t ReadDeviceAddress(const std::string& path, int32_t fallback);

// Only the baud rate is taken from the line description: 4800 unless it contains "9600",
// "19200", "38400" or "57600"; the last of these that matches wins.
uint32_t BaudRateFromSettings(const std::string& text);

// Per-byte time-out of port reads and writes at a baud rate; 20 ms for an unknown rate.
inline constexpr uint32_t kUnknownBaudByteTimeout = 20;
uint32_t ByteTimeoutForBaud(uint32_t baud);

// The exchange's values for a line at `baud`: its speed and the per-byte time-out.
struct LinkValues;
void SetLineSpeed(LinkValues& values, uint32_t baud);

// Tries per exchange and passes of a write with read-back: 2..5, compared as unsigned.
uint32_t ClampReadings(int32_t nOfReadings);

// Puts the link values in force for the run: address, retries, answer time-out, exchange log,
// answer checksums.
void ApplyLinkValues(const LinkSettings& settings, LinkValues& values);

// The device a port number names: the [PORTS] entry, else the number-th serial port found on
// the machine (USB and ACM adapters first). Empty when there is none.
std::string PortDevice(int32_t number, const std::map<int32_t, std::string>& explicitDevices,
                       const std::vector<std::string>& foundPorts);

// Orders device names as port numbers take them: ttyUSB, then ttyACM, then the rest, each by number.
std::vector<std::string> OrderSerialPorts(std::vector<std::string> devices);

}  // namespace pmv::link
