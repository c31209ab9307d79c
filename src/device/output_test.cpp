#include "output_test.h"

#include "device.h"
#include "messages/error_codes.h"

namespace pmv {

uint32_t OutputTest::SelectTestOutput(uint32_t n)
{
    outputs_.fill(0);
    outputs_[n / 8] = static_cast<uint8_t>(1u << (n % 8));
    if (const uint32_t code = WriteByte(exchange_, regs::TestOutputs(n / 8), outputs_[n / 8]))
        return code;
    if (const uint32_t code = WriteByte(exchange_, regs::TestOutputs(previous_ / 8), outputs_[previous_ / 8]))
        return code;
    previous_ = n;
    return kOk;
}

uint32_t OutputTest::WriteTestOutputs()
{
    for (uint32_t r = 0; r < outputs_.size(); ++r)
        if (const uint32_t code = WriteByte(exchange_, regs::TestOutputs(r), outputs_[r]))
            return code;
    return kOk;
}

uint32_t OutputTest::SetTestMode(bool on)
{
    testMode_ = on;
    if (testMode_)
        index_ = 0;
    else
        outputs_.fill(0);
    running_ = false;
    return WriteByte(exchange_, regs::kTestMode, testMode_ ? 1 : 0);
}

uint32_t OutputTest::AllOn()
{
    outputs_.fill(0xFF);
    return WriteTestOutputs();
}

uint32_t OutputTest::AllOff()
{
    outputs_.fill(0);
    return WriteTestOutputs();
}

uint32_t OutputTest::PreviousOutput()
{
    index_ = index_ == 0 ? kOutputCount - 1 : index_ - 1;
    return SelectTestOutput(index_);
}

uint32_t OutputTest::NextOutput()
{
    index_ = index_ + 1 == kOutputCount ? 0 : index_ + 1;
    return SelectTestOutput(index_);
}

uint32_t OutputTest::RunStop()
{
    if (running_) {
        running_ = false;
        return AllOff();
    }
    index_ = 0;
    running_ = true;
    return kOk;
}

uint32_t OutputTest::Tick()
{
    if (!running_)
        return kOk;
    const uint32_t code = SelectTestOutput(index_);
    if (code != kOk)
        running_ = false;
    index_ = index_ + 1 == kOutputCount ? 0 : index_ + 1;
    return code;
}

}  // namespace pmv
