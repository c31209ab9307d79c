#include "progress.h"

#include "error_codes.h"

namespace pmv {

ErrorCode EndOperation(Progress& progress, ErrorCode code)
{
    progress.HideProgressPanel();
    return code;
}

ErrorCode CheckEscape(Progress& progress) { return progress.EscapePressed() ? kStoppedByUser : kOk; }

}  // namespace pmv
