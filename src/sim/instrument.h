#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "blocks.h"
#include "faults.h"
#include "register_memory.h"
#include "request_parser.h"

namespace pmv::sim {

// What the instrument does with a request and what it answers.
//
// Bank 1 byte registers: writing 1 to register 0 restarts the instrument (the cells are kept),
// writing 1 to register 1 loads the factory parameters into bank 2; register 6 reads the
// firmware version, while a write to it (an output-test mask, like registers 5..9) is stored
// in its cell. Bank 1 blocks 0 and 1 are the channels' measurement blocks, block 2 the live
// values.
class Instrument {
public:
    static constexpr uint8_t kFirmwareVersion = 0x52;  // 1.1.2: major bits 7-6, minor 5-4, build 3-0

    // The answer to a request for this instrument: a data answer to a read, a status answer
    // otherwise. A read of a cell takes a WrongReadBack fault from faults if one applies.
    std::string Respond(const ParsedRequest& parsed, FaultList& faults);

    RegisterMemory& Memory() { return memory_; }
    const RegisterMemory& Memory() const { return memory_; }
    BlockSource& Blocks() { return blocks_; }
    const BlockSource& Blocks() const { return blocks_; }
    int Restarts() const { return restarts_; }
    int FactoryResets() const { return factoryResets_; }
    // A cell the instrument sets to `value` at its next restarts, as one that does not keep
    // what was written into it.
    void ChangeOnRestart(const Request& cell, uint32_t value) { restartChanges_.push_back({cell, value}); }

private:
    std::string Read(const Request& r, FaultList& faults);
    std::string Write(const Request& r);

    RegisterMemory memory_;
    BlockSource blocks_;
    int restarts_ = 0;
    int factoryResets_ = 0;
    struct RestartChange {
        Request cell;
        uint32_t value;
    };
    std::vector<RestartChange> restartChanges_;
};

}  // namespace pmv::sim
