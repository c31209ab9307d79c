#include "progress.h"

#include "error_codes.h"

namespace pmv {

void BeginOperation(Progress& progress, const std::string& title, const std::string& subtitle)
{
    progress.SetProgressLines({title, subtitle, "", "", "", kEscapeHint});
    progress.ShowProgressPanel();
}

uint32_t EndOperation(Progress& progress, uint32_t code)
{
    progress.HideProgressPanel();
    return code;
}

uint32_t CheckEscape(Progress& progress)
{
    return progress.EscapePressed() ? kStoppedByUser : kOk;
}

}  // namespace pmv
