#include "instrument.h"

#include <bit>

#include "answers.h"

namespace pmv::sim {

std::string Instrument::Respond(const ParsedRequest& parsed, FaultList& faults)
{
    switch (parsed.verdict) {
    case Verdict::Ok: break;
    case Verdict::ForeignAddress: return {};
    case Verdict::BadChecksum: return StatusAnswer(status::kBadChecksum);
    case Verdict::Malformed: return StatusAnswer(status::kMalformed);
    case Verdict::UnknownCommand: return StatusAnswer(status::kUnknownCommand);
    case Verdict::NoSuchRegister: return StatusAnswer(status::kNoSuchRegister);
    }
    const Request& r = parsed.request;
    return r.value ? Write(r) : Read(r, faults);
}

std::string Instrument::Read(const Request& r, FaultList& faults)
{
    if (r.memType == 4) {
        if (r.bank == 1 && (r.reg == 0 || r.reg == 1))
            return DataAnswer(r.address, HexBytes(blocks_.NextMeasurement(static_cast<int>(r.reg))));
        if (r.bank == 1 && r.reg == 2)
            return DataAnswer(r.address, HexBytes(blocks_.NextLive(memory_)));
        return StatusAnswer(status::kNoSuchRegister);
    }
    if (!RegisterMemory::IsCell(r.bank, r.memType, r.reg))
        return StatusAnswer(status::kNoSuchRegister);
    uint32_t value =
        (r.bank == 1 && r.memType == 1 && r.reg == 6) ? kFirmwareVersion : memory_.Get(r.bank, r.memType, r.reg);
    const bool wrong = faults.TakeWrongReadBack(r);
    if (r.memType == 1)
        return DataAnswer(r.address, HexValue(wrong ? value ^ 1 : value, 2));
    if (wrong)
        value = std::bit_cast<uint32_t>(std::bit_cast<float>(value) + 1.0f);
    return DataAnswer(r.address, HexValue(value, 8));
}

std::string Instrument::Write(const Request& r)
{
    if (!RegisterMemory::IsCell(r.bank, r.memType, r.reg))
        return StatusAnswer(status::kNoSuchRegister);
    memory_.Set(r.bank, r.memType, r.reg, *r.value);
    if (r.bank == 1 && r.memType == 1 && *r.value == 1) {
        if (r.reg == 0) {
            ++restarts_;
            for (const RestartChange& c : restartChanges_)
                memory_.Set(c.cell.bank, c.cell.memType, c.cell.reg, c.value);
        } else if (r.reg == 1) {
            ++factoryResets_;
            memory_.LoadFactoryParameters();
        }
    }
    return StatusAnswer(status::kOk);
}

}  // namespace pmv::sim
