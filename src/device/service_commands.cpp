#include "service_commands.h"

#include "device.h"
#include "messages/device_texts.h"
#include "messages/error_codes.h"
#include "messages/messages.h"

namespace pmv::device {

ErrorCode Restart(link::Exchange& exchange) { return WriteByte(exchange, regs::kRestart, 1); }

ErrorCode FactoryReset(link::Exchange& exchange, Messages& messages)
{
    if (!messages.AskYesNo(Question::Other, Text(Prompt::FactoryResetQuestion), Text(Prompt::WarningCaption),
                           MessageIcon::Warning))
        return kOk;
    return WriteByte(exchange, regs::kFactoryReset, 1);
}

}  // namespace pmv::device
