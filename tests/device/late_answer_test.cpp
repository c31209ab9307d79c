#include "fakes.h"

#include "device/device.h"
#include "device/device_settings.h"
#include "link/qt_serial_line.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace pmv::device {
namespace {

// The instrument's values for a full read: every register read holds a value of its own, so an
// answer taken for the next request shows as a wrong value.
void FillDistinctValues(sim::Simulator& sim, const std::vector<sim::Request>& reads)
{
    for (size_t i = 0; i < reads.size(); ++i) {
        const sim::Request& r = reads[i];
        if (r.memType == 3)
            sim.SetFloatRegister(r.bank, r.reg, 10.5f + static_cast<float>(i));
        else
            sim.SetRegister(r.bank, r.memType, r.reg, static_cast<uint32_t>(i % 5 + 1));
    }
}

struct Outcome {
    ErrorCode code = kOk;
    model::SettingsModel model;
};

// A full read of all groups against its own simulated instrument. With lateCount > 0, the
// answers to that many requests in a row, from request number `position` on, come lateMs late.
Outcome FullRead(const std::vector<sim::Request>& reads, size_t position, int lateCount, sim::Fault::Kind kind,
                 uint32_t lateMs = 0)
{
    Outcome outcome;
    std::atomic<size_t> served = 0;
    sim::Simulator* simPtr = nullptr;
    sim::SimOptions options;
    options.onRequest = [&](const sim::Request&) {
        if (++served == position && lateCount > 0) {
            sim::Fault late{kind};
            late.count = lateCount;
            late.delayMs = lateMs;
            simPtr->InjectFault(late);
        }
    };
    sim::Simulator sim(options);
    simPtr = &sim;
    if (!sim.Start()) {
        outcome.code = ErrorCode{~0u};  // the simulated instrument or its line did not start
        return outcome;
    }
    FillDistinctValues(sim, reads);
    if (position == 0 && lateCount > 0) {
        sim::Fault late{kind};
        late.count = lateCount;
        late.delayMs = lateMs;
        sim.InjectFault(late);
    }
    link::SystemClock clock;
    link::QtSerialLine line;
    if (!line.Open(sim.DevicePath()) || !line.Configure(9600)) {
        outcome.code = ErrorCode{~0u};  // the simulated instrument or its line did not start
        return outcome;
    }
    link::Exchange exchange(line, clock);
    exchange.values().ByteTimeout = 9;
    exchange.values().UseLogFile = false;
    test::ScriptedProgress progress;
    for (model::ChannelSettings& c : outcome.model.channel)
        c.select = 1;
    outcome.model.rele.select = 1;
    outcome.model.general.gen_select = 1;
    Device device{exchange, progress, outcome.model, {}};
    outcome.code = ReadDeviceSettings(device);
    return outcome;
}

class LateAnswerSweep : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::Simulator sim;
        ASSERT_TRUE(sim.Start());
        link::QtSerialLine line;
        ASSERT_TRUE(line.Open(sim.DevicePath()));
        link::SystemClock clock;
        link::Exchange exchange(line, clock);
        exchange.values().UseLogFile = false;
        test::ScriptedProgress progress;
        model::SettingsModel model;
        Device device{exchange, progress, model, {}};
        for (model::ChannelSettings& c : model.channel)
            c.select = 1;
        model.rele.select = 1;
        model.general.gen_select = 1;
        ASSERT_EQ(ReadDeviceSettings(device), kOk);
        reads_ = sim.Transcript();
        const Outcome clean = FullRead(reads_, 0, 0, sim::Fault::Kind::Delay);
        ASSERT_EQ(clean.code, kOk);
        expected_ = clean.model;
    }

    // Runs the read with the late answers at every position, many instruments at a time, since
    // each run mostly waits.
    std::vector<Outcome> Sweep(int lateCount, sim::Fault::Kind kind, uint32_t lateMs) const
    {
        constexpr size_t kAtOnce = 64;
        std::vector<Outcome> outcomes(reads_.size());
        for (size_t first = 0; first < reads_.size(); first += kAtOnce) {
            std::vector<std::unique_ptr<QThread>> threads;
            for (size_t p = first; p < std::min(first + kAtOnce, reads_.size()); ++p) {
                threads.emplace_back(QThread::create([&, p] { outcomes[p] = FullRead(reads_, p, lateCount, kind, lateMs); }));
                threads.back()->start();
            }
            for (auto& t : threads)
                t->wait();
        }
        return outcomes;
    }

    // Never a wrong value with success; returns the number of positions that ended in an error.
    size_t CheckNoWrongValues(const std::vector<Outcome>& outcomes) const
    {
        size_t failed = 0;
        for (size_t p = 0; p < outcomes.size(); ++p) {
            if (outcomes[p].code != kOk)
                ++failed;
            else
                EXPECT_TRUE(outcomes[p].model == expected_) << "wrong values, status 0, late answer at request " << p;
        }
        return failed;
    }

    std::vector<sim::Request> reads_;
    model::SettingsModel expected_;
};

// The answer time-out is 1 s. Late by 1.5 s, an answer comes while the line must stay silent
// before the retry; late by 2.5 s, after the retry went out, which the instrument then answers
// in turn after the slow one (Delay) or at once (DelayApart).
TEST_F(LateAnswerSweep, OneLateAnswerAtAnyPositionIsRecovered)
{
    for (const auto kind : {sim::Fault::Kind::Delay, sim::Fault::Kind::DelayApart})
        for (const uint32_t lateMs : {1500u, 2500u})
            EXPECT_EQ(CheckNoWrongValues(Sweep(1, kind, lateMs)), 0u) << lateMs;
}

TEST_F(LateAnswerSweep, TwoLateAnswersInARowGiveTheExactValuesOrAnError)
{
    for (const auto kind : {sim::Fault::Kind::Delay, sim::Fault::Kind::DelayApart}) {
        const std::vector<Outcome> outcomes = Sweep(2, kind, 1500);
        const size_t failed = CheckNoWrongValues(outcomes);
        std::printf("two late answers (%s): %zu positions, %zu ended in an error\n",
                    kind == sim::Fault::Kind::Delay ? "in turn" : "apart", outcomes.size(), failed);
    }
}

}  // namespace
}  // namespace pmv::device
