#pragma once

#include "device/calibration_procedures.h"
#include "sim/simulator.h"

#include <functional>

namespace pmv::gui {

// The calibration bench of the simulated instrument: the reference the operator confirms is
// connected to the simulated channel. For the programs that carry a simulator (pmvconf
// --simulate, the window's tests and pictures).
inline std::function<void(uint32_t, device::Reference, float)> SimulatedBench(sim::Simulator& simulator)
{
    return [&simulator](uint32_t ch, device::Reference reference, float value) {
        static constexpr sim::Source::Kind kKinds[] = {sim::Source::Kind::Volts, sim::Source::Kind::Millivolts,
                                                       sim::Source::Kind::Milliamps20, sim::Source::Kind::Milliamps5,
                                                       sim::Source::Kind::Ohms};
        simulator.ConnectSource(static_cast<int>(ch), {kKinds[static_cast<size_t>(reference)], value});
    };
}

}  // namespace pmv::gui
