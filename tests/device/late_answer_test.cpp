#include "fakes.h"

#include "device/device.h"
#include "device/device_settings.h"
#include "link/local_serial_line.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <functional>
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
            sim.SetRegister(r.bank, r.memType, r.reg, static_cast<uint32_t>(i + 1));
    }
}

struct Outcome {
    ErrorCode code = kOk;
    model::SettingsModel model;
};

// How the line disturbs a read: with lateCount > 0, the answers to that many requests in a row,
// from request number `position` on, come lateMs late; with `late`, answers are held back at
// random from the start. At 9600 baud a read lasts long enough for an answer seconds late to
// come while it still runs.
struct Disturbance {
    size_t position = 0;
    int lateCount = 0;
    sim::Fault::Kind kind = sim::Fault::Kind::Delay;
    uint32_t lateMs = 0;
    sim::LateAnswers late = {};
    uint32_t retries = 2;
    uint32_t baud = 0;
};

// A full read of all groups against its own simulated instrument.
Outcome FullRead(const std::vector<sim::Request>& reads, const Disturbance& d)
{
    const size_t position = d.position;
    const int lateCount = d.lateCount;
    const sim::Fault::Kind kind = d.kind;
    const uint32_t lateMs = d.lateMs;
    Outcome outcome;
    std::atomic<size_t> served = 0;
    sim::Simulator* simPtr = nullptr;
    sim::SimOptions options;
    options.baud = d.baud;
    options.turnaroundMs = d.baud > 0 ? 5 : 0;
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
    sim.SetLateAnswers(d.late);
    if (position == 0 && lateCount > 0) {
        sim::Fault late{kind};
        late.count = lateCount;
        late.delayMs = lateMs;
        sim.InjectFault(late);
    }
    link::SystemClock clock;
    link::LocalSerialLine line;
    if (!line.Open(sim.DevicePath()) || !line.Configure(9600)) {
        outcome.code = ErrorCode{~0u};  // the simulated instrument or its line did not start
        return outcome;
    }
    link::Exchange exchange(line, clock);
    exchange.values().ByteTimeout = 9;
    exchange.values().UseLogFile = false;
    exchange.values().RetryCount = d.retries;
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
        link::LocalSerialLine line;
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
        const Outcome clean = FullRead(reads_, {});
        ASSERT_EQ(clean.code, kOk);
        expected_ = clean.model;
    }

    // Runs the read with the late answers at every position, many instruments at a time, since
    // each run mostly waits.
    std::vector<Outcome> Sweep(int lateCount, sim::Fault::Kind kind, uint32_t lateMs, uint32_t baud = 0) const
    {
        return InParallel(reads_.size(), [&](size_t p) {
            return FullRead(reads_,
                            {.position = p, .lateCount = lateCount, .kind = kind, .lateMs = lateMs, .baud = baud});
        });
    }

    // Runs `runs` reads, many at a time, since each mostly waits.
    static std::vector<Outcome> InParallel(size_t runs, const std::function<Outcome(size_t)>& read)
    {
        constexpr size_t kAtOnce = 64;
        std::vector<Outcome> outcomes(runs);
        for (size_t first = 0; first < runs; first += kAtOnce) {
            std::vector<std::unique_ptr<QThread>> threads;
            for (size_t p = first; p < std::min(first + kAtOnce, runs); ++p) {
                threads.emplace_back(QThread::create([&, p] { outcomes[p] = read(p); }));
                threads.back()->start();
            }
            for (auto& t : threads)
                t->wait();
        }
        return outcomes;
    }

    // Never a wrong value with success; returns the number of runs that ended in an error.
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

// Later than the answer time-out and the silence before the next request together, an answer
// arrives while another register's request waits; without the rule for owed answers it was taken
// for that register's value.
TEST_F(LateAnswerSweep, AnAnswerSecondsLateNeverStandsForAnotherRegister)
{
    EXPECT_EQ(CheckNoWrongValues(Sweep(1, sim::Fault::Kind::DelayApart, 3200, 9600)), 0u);
}

// Answers held back at random, by up to 4 s, some holding up the requests after them and some
// not: each read ends with the instrument's values or an error.
TEST_F(LateAnswerSweep, AnswersHeldBackAtRandomGiveTheExactValuesOrAnError)
{
    constexpr size_t kSeeds = 48;
    const std::vector<Outcome> outcomes = InParallel(kSeeds, [&](size_t seed) {
        sim::LateAnswers late;
        late.perMille = 50;
        late.minMs = 200;
        late.maxMs = 4000;
        late.seed = static_cast<uint32_t>(seed + 1);
        return FullRead(reads_, {.late = late, .retries = 5, .baud = 9600});
    });
    const size_t failed = CheckNoWrongValues(outcomes);
    EXPECT_LT(failed, kSeeds / 2) << "five tries get most reads through";
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
