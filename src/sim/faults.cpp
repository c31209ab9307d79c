#include "faults.h"

#include "answers.h"
#include "crc16.h"

#include <algorithm>

namespace pmv::sim {
namespace {

std::string FlipBit(std::string answer, const Fault& fault)
{
    size_t at = 0;
    if (fault.flipByte >= 0) {
        at = static_cast<size_t>(fault.flipByte);
    } else if (const size_t bang = answer.find('!'); bang != std::string::npos) {
        at = answer.find(';', bang) + 1;
    } else {
        at = answer.find('\r') - 1;
    }
    if (at < answer.size())
        answer[at] = static_cast<char>(answer[at] ^ fault.flipMask);
    return answer;
}

// "!" address ";" data ";" checksum CR with the checksum over "!" address ";" data ";".
std::string WithForeignChecksum(const std::string& answer)
{
    const size_t bang = answer.find('!');
    const size_t last = answer.rfind(';');
    if (bang == std::string::npos || last == std::string::npos || last < bang)
        return answer;
    const std::string covered = answer.substr(bang, last + 1 - bang);
    return answer.substr(0, bang) + covered + std::to_string(Crc16(covered)) + "\r";
}

bool Applies(const Fault& f, const Request& r)
{
    return f.reg < 0 || (f.bank == r.bank && f.memType == r.memType && f.reg == r.reg);
}

}  // namespace

void FaultList::Add(const Fault& fault)
{
    if (fault.count != 0)
        faults_.push_back(fault);
}

std::optional<Fault> FaultList::TakeDeliveryFault(const Request& request) { return Take(request, false); }

bool FaultList::TakeWrongReadBack(const Request& request) { return Take(request, true).has_value(); }

std::optional<Fault> FaultList::Take(const Request& request, bool wrongReadBack)
{
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if ((it->kind == Fault::Kind::WrongReadBack) != wrongReadBack || !Applies(*it, request))
            continue;
        Fault taken = *it;
        if (it->count > 0 && --it->count == 0)
            faults_.erase(it);
        return taken;
    }
    return std::nullopt;
}

void LateAnswerDraw::Apply(Delivery& delivery)
{
    if (late_.perMille == 0 || delivery.bytes.empty() || delivery.delayMs > 0)
        return;
    if (std::uniform_int_distribution<uint32_t>(0, 999)(random_) >= late_.perMille)
        return;
    delivery.delayMs =
        std::uniform_int_distribution<uint32_t>(late_.minMs, std::max(late_.minMs, late_.maxMs))(random_);
    delivery.apart = std::uniform_int_distribution<int>(0, 1)(random_) == 1;
}

Delivery Deliver(const std::optional<Fault>& fault, const std::string& answer)
{
    if (!fault)
        return {answer, 0};
    switch (fault->kind) {
    case Fault::Kind::NoAnswer: return {};
    case Fault::Kind::Delay: return {answer, fault->delayMs};
    case Fault::Kind::DelayApart: return {answer, fault->delayMs, true};
    case Fault::Kind::GarbageBefore:
        return {(fault->raw.empty() ? std::string("\xFE\x7F~#&noise&#~") : fault->raw) + answer, 0};
    case Fault::Kind::Overlong: return {std::string(300, '?'), 0};
    case Fault::Kind::Status: return {StatusAnswer(fault->status), 0};
    case Fault::Kind::BangBeyond64: return {std::string(70, '.') + answer, 0};
    case Fault::Kind::RawAnswer: return {fault->raw, 0};
    case Fault::Kind::FlippedBit: return {FlipBit(answer, *fault), 0};
    case Fault::Kind::ForeignChecksum: return {WithForeignChecksum(answer), 0};
    case Fault::Kind::WrongReadBack: break;
    }
    return {answer, 0};
}

}  // namespace pmv::sim
