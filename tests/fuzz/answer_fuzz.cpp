// The answer parsers and RunExchange on a line that answers with the input, on a clock that
// moves on with every look, so that time-outs and the guard time pass without waiting.
#include "link/exchange.h"
#include "link/register_commands.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class FakeClock final : public pmv::link::Clock {
public:
    pmv::link::TimeStamp LocalTime() const override { return {12, 0, 0, static_cast<uint32_t>(now_ % 1000)}; }
    int64_t MonotonicMs() const override { return now_ += 7; }

private:
    mutable int64_t now_ = 0;
};

// Hands out the input in pieces whose sizes the input's first byte picks; then silence.
class FakeLine final : public pmv::link::SerialLine {
public:
    FakeLine(std::string bytes, size_t piece) : bytes_(std::move(bytes)), piece_(piece) {}
    bool Open(const std::string&) override { return true; }
    bool IsOpen() const override { return true; }
    std::string OpenError() const override { return {}; }
    pmv::link::LowLatency LatencyRequest() const override { return pmv::link::LowLatency::NotApplicable; }
    void Close() override {}
    bool Configure(uint32_t) override { return true; }
    void Purge() override {}
    void RaiseDtrDropRts() override {}
    size_t Read(char* buffer, size_t max, uint32_t) override
    {
        size_t n = std::min({max, piece_, bytes_.size() - at_});
        bytes_.copy(buffer, n, at_);
        at_ += n;
        return n;
    }
    size_t Write(const char*, size_t size, uint32_t) override { return size; }

private:
    std::string bytes_;
    size_t piece_;
    size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

    uint32_t value = 0;
    std::vector<uint8_t> block;
    (void)pmv::link::ParseByteAnswer(text, value);
    (void)pmv::link::ParseLongAnswer(text, value);
    (void)pmv::link::ParseBlockAnswer(text, data[1] % 101, block);
    (void)pmv::link::Exchange::AnswerStatus(text);

    FakeClock clock;
    FakeLine line(text, data[0] % 40 + 1);
    pmv::link::Exchange exchange(line, clock);
    exchange.values().UseLogFile = false;
    exchange.values().RetryCount = data[1] % 4 + 2;
    pmv::ErrorCode code = pmv::kOk;
    switch (data[0] % 4) {
    case 0:
        code = pmv::link::ReadByteRegister(exchange, 2, data[1], value);
        if (code == pmv::kOk && value > 255)
            std::abort();
        break;
    case 1: code = pmv::link::ReadLongRegister(exchange, 2, data[1], value); break;
    case 2:
        code = pmv::link::ReadValueBlock(exchange, 0, data[1] % 101, block, true);
        if (code == pmv::kOk && block.size() != data[1] % 101u)
            std::abort();
        break;
    default: code = pmv::link::WriteFloatRegisterChecked(exchange, 2, data[1], 1.5f); break;
    }
    if (pmv::CodeNumber(code) > 23 || exchange.answer().size() > pmv::link::kMaxAnswerBytes + pmv::link::kReadChunk)
        std::abort();
    return 0;
}
