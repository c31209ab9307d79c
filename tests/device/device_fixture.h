#pragma once

#include "fakes.h"
#include "sim_line.h"

#include "device/device.h"

#include <string>
#include <vector>

namespace pmv::test {

// A device operation's world: the simulated instrument, the model and a scripted panel.
class DeviceTest : public SimLine {
protected:
    void SetUp() override
    {
        SimLine::SetUp();
        for (model::ChannelSettings& c : model.channel)
            c.select = 1;
        model.rele.select = 1;
        model.general.gen_select = 1;
    }

    void SelectGroups(bool ch1, bool ch2, bool relay, bool general)
    {
        model.channel[0].select = ch1;
        model.channel[1].select = ch2;
        model.rele.select = relay;
        model.general.gen_select = general;
    }

    // Every request for the register is refused with the status answer from now on.
    void Refuse(int bank, int memType, int reg, uint16_t status)
    {
        sim::Fault refuse{sim::Fault::Kind::Status};
        refuse.count = -1;
        refuse.status = status;
        refuse.bank = bank;
        refuse.memType = memType;
        refuse.reg = reg;
        simulator->InjectFault(refuse);
    }

    // The requests the instrument received, as "R b.t.reg" for reads and "W b.t.reg=value" for writes.
    std::vector<std::string> Requests() const
    {
        std::vector<std::string> out;
        for (const sim::Request& r : simulator->Transcript()) {
            std::string s = (r.value ? "W " : "R ") + std::to_string(r.bank) + "." + std::to_string(r.memType) + "." +
                            std::to_string(r.reg);
            if (r.value)
                s += "=" + std::to_string(*r.value);
            out.push_back(s);
        }
        return out;
    }

    model::SettingsModel model;
    ScriptedProgress progress;
    device::Device device{exchange, progress, model, {}};
};

}  // namespace pmv::test
