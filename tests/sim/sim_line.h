#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "sim/crc16.h"
#include "sim/simulator.h"

namespace pmv::sim::test {

// A client on the simulator's pty, with plain POSIX calls.
class Line {
public:
    explicit Line(const std::string& path);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    void Write(std::string_view bytes);
    // Four 0xFF, ':', the command text, its checksum, CR.
    void Send(const std::string& text);
    // What one read gets within the time-out.
    std::string ReadSome(int timeoutMs);
    // Up to the first CR, or whatever came within the time-out.
    std::string ReadAnswer(int timeoutMs = 1000);
    // Everything that comes within ms.
    std::string ReadFor(int ms);
    std::string Exchange(const std::string& text)
    {
        Send(text);
        return ReadAnswer();
    }

private:
    int fd_ = -1;
};

// The data answer with the given covered text ("address;data;").
inline std::string DataAnswer(const std::string& covered)
{
    return "!" + covered + std::to_string(Crc16(covered)) + "\r";
}

// The data field of a data answer.
std::string DataField(const std::string& answer);

inline double MsSince(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace pmv::sim::test
