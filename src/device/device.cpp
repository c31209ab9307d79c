#include "device.h"

#include "link/register_commands.h"
#include "messages/error_codes.h"

namespace pmv {

uint32_t Device::AbortCheck()
{
    return CheckEscape(progress) ? Fail(kStoppedByUser) : kOk;
}

uint32_t Device::Fail(uint32_t code)
{
    return EndOperation(progress, code);
}

uint32_t ReadByte(Exchange& exchange, regs::Register reg, int32_t& field)
{
    uint32_t value = 0;
    const uint32_t code = ReadByteRegister(exchange, reg.bank, reg.number, value);
    if (code == kOk)
        field = static_cast<int32_t>(value);
    return code;
}

uint32_t ReadFloat(Exchange& exchange, regs::Register reg, float& field)
{
    uint32_t bits = 0;
    const uint32_t code = ReadLongRegister(exchange, reg.bank, reg.number, bits);
    if (code == kOk)
        field = BitsToFloat(bits);
    return code;
}

uint32_t WriteByte(Exchange& exchange, regs::Register reg, int32_t value)
{
    return WriteByteRegister(exchange, reg.bank, reg.number, static_cast<uint32_t>(value));
}

uint32_t WriteByteChecked(Exchange& exchange, regs::Register reg, int32_t value)
{
    return WriteByteRegisterChecked(exchange, reg.bank, reg.number, static_cast<uint32_t>(value));
}

uint32_t WriteFloatChecked(Exchange& exchange, regs::Register reg, float value)
{
    return WriteFloatRegisterChecked(exchange, reg.bank, reg.number, value);
}

}  // namespace pmv
