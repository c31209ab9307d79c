#pragma once

#include "device/device_settings.h"
#include "messages/error_codes.h"
#include "model/settings_model.h"

#include <string>
#include <vector>

namespace pmv::binding {

// A write that stopped after it began: the instrument may hold part of the old settings and
// part of the new (a setpoint switched off, the relays of another profile).
struct StoppedWrite {
    std::vector<device::WritePart> written;     // finished
    device::WritePart stoppedIn;                // under way, some of its registers may be sent
    std::vector<device::WritePart> notWritten;  // of the selection, never begun
};

// What the selection of `model` would send, against how far the write came.
StoppedWrite DescribeStop(const model::SettingsModel& model, const device::WriteReach& reach);

// "канал 1", "реле", "маркер и перезапуск": a part as the group boxes name it.
std::string WritePartName(device::WritePart part);

// The box of a stopped write: the failure, what the instrument may hold now, the parts written
// and not, and the question whether to write again.
std::string StoppedWriteText(const StoppedWrite& stop, ErrorCode code);
// The same in one line, for the history row: "запись прервана на: реле; записаны: канал 1".
std::string StoppedWriteNote(const StoppedWrite& stop);

}  // namespace pmv::binding
