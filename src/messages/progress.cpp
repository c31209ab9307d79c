#include "progress.h"

#include "error_codes.h"

namespace pmv {

void BeginOperation(Progress& progress, const std::string& title, const std::string& subtitle)
{
    progress.SetProgressLines({title, subtitle, "", "", "", kEscapeHint});
    progress.ShowProgressPanel();
}

ErrorCode EndOperation(Progress& progress, ErrorCode code)
{
    progress.HideProgressPanel();
    return code;
}

ErrorCode CheckEscape(Progress& progress) { return progress.EscapePressed() ? kStoppedByUser : kOk; }

}  // namespace pmv
