#pragma once

#include <cstdint>
#include <string>

namespace pmv::sim {

// The instrument's end of the line: a pty master, with the slave end held open in raw mode
// (no echo, no translation) so that reading the master never fails while no client has the
// slave open, and clients may open and close it any number of times.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal() { Close(); }

    // linkPath, if not empty, becomes a symbolic link to the slave; an old symbolic link there
    // is replaced, anything else is left alone and fails the open.
    bool Open(const std::string& linkPath, std::string* error);
    // Removes the link if it still points to this slave.
    void Close();

    int Master() const { return master_; }  // non-blocking
    int Slave() const { return slave_; }
    const std::string& SlavePath() const { return slavePath_; }
    // The speed the client has set the line to; 0 for a speed without a number here.
    uint32_t LineBaud() const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string linkPath_;
};

}  // namespace pmv::sim
