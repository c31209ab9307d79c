#include "output_test.h"

#include "device.h"
#include "messages/error_codes.h"

namespace pmv::device {

ErrorCode OutputTest::SelectTestOutput(uint32_t n)
{
    outputs_.fill(0);
    outputs_[n / 8] = static_cast<uint8_t>(1u << (n % 8));
    if (const ErrorCode code = WriteByte(exchange_, regs::TestOutputs(n / 8), outputs_[n / 8]); code != kOk)
        return code;
    if (const ErrorCode code = WriteByte(exchange_, regs::TestOutputs(previous_ / 8), outputs_[previous_ / 8]);
        code != kOk)
        return code;
    previous_ = n;
    return kOk;
}

ErrorCode OutputTest::WriteTestOutputs()
{
    for (uint32_t r = 0; r < outputs_.size(); ++r)
        if (const ErrorCode code = WriteByte(exchange_, regs::TestOutputs(r), outputs_[r]); code != kOk)
            return code;
    return kOk;
}

ErrorCode OutputTest::SetTestMode(bool on)
{
    testMode_ = on;
    if (testMode_)
        index_ = 0;
    else
        outputs_.fill(0);
    running_ = false;
    return WriteByte(exchange_, regs::kTestMode, testMode_ ? 1 : 0);
}

ErrorCode OutputTest::AllOn()
{
    outputs_.fill(0xFF);
    return WriteTestOutputs();
}

ErrorCode OutputTest::AllOff()
{
    outputs_.fill(0);
    return WriteTestOutputs();
}

ErrorCode OutputTest::PreviousOutput()
{
    index_ = index_ == 0 ? kOutputCount - 1 : index_ - 1;
    return SelectTestOutput(index_);
}

ErrorCode OutputTest::NextOutput()
{
    index_ = index_ + 1 == kOutputCount ? 0 : index_ + 1;
    return SelectTestOutput(index_);
}

ErrorCode OutputTest::RunStop()
{
    if (running_) {
        running_ = false;
        return AllOff();
    }
    index_ = 0;
    running_ = true;
    return kOk;
}

ErrorCode OutputTest::Tick()
{
    if (!running_)
        return kOk;
    const ErrorCode code = SelectTestOutput(index_);
    if (code != kOk)
        running_ = false;
    index_ = index_ + 1 == kOutputCount ? 0 : index_ + 1;
    return code;
}

}  // namespace pmv::device
