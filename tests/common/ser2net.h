#pragma once

#include "temp_dir.h"
#include "wait_for.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace pmv::test {

// A TCP port of 127.0.0.1 free a moment ago.
inline uint16_t FreeTcpPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// True while a socket listens on `port` of 127.0.0.1 (the kernel's table, so that looking
// connects nobody).
inline bool Listening(uint16_t port)
{
    std::ifstream table("/proc/net/tcp");
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A")
            return true;
    }
    return false;
}

// ser2net, Debian's serial device server, on 127.0.0.1 in front of a device: started with a
// configuration of its own in a temporary folder, killed at the end.
class Ser2net {
public:
    enum class Accepter {
        Raw,      // "TCP server" mode: the line's bytes as they are
        Rfc2217,  // telnet with the COM-PORT-OPTION
    };

    Ser2net() = default;
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;
    ~Ser2net() { Kill(); }

    // Serves `device` at `baud` (8N1, no modem lines); true once it listens.
    bool Start(Accepter accepter, const std::string& device, uint32_t baud = 9600)
    {
        port_ = FreeTcpPort();
        accepter_ = accepter;
        const std::string config = dir_.file("ser2net.yaml");
        std::ofstream(config) << "connection: &line\n"
                              << "  accepter: " << (accepter == Accepter::Raw ? "tcp" : "telnet(rfc2217),tcp")
                              << ",127.0.0.1," << port_ << "\n"
                              << "  connector: serialdev," << device << "," << baud << "n81,local\n";
        const std::string log = dir_.file("ser2net.log");
        pid_ = ::fork();
        if (pid_ == 0) {
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::execlp("ser2net", "ser2net", "-n", "-d", "-c", config.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid_ > 0 && WaitFor([&] { return Listening(port_); }, 10000);
    }

    // Kills it at once, as a server that loses its power; safe from any thread.
    void Kill()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    pid_t Pid() const { return pid_; }

    uint16_t Port() const { return port_; }
    // The name a program gives its port: tcp:// or rfc2217:// as the server speaks.
    std::string Name() const { return NameAs(accepter_); }
    std::string NameAs(Accepter accepter) const
    {
        return std::string(accepter == Accepter::Raw ? "tcp" : "rfc2217") + "://127.0.0.1:" + std::to_string(port_);
    }
    std::string Log() const { return ReadFileBytes(dir_.file("ser2net.log")); }

private:
    TempDir dir_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
    Accepter accepter_ = Accepter::Raw;
};

}  // namespace pmv::test
