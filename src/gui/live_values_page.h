#pragma once

#include "binding/live_view.h"
#include "device/live_values.h"

class QWidget;

namespace pmv::live {

// Puts the current values on the page "Текущие значения" of the window `root`.
void ShowView(QWidget& root, const LiveView& view);
// The outcome panel of the last poll.
void ShowOutcome(QWidget& root, const PollOutcomeView& outcome);

}  // namespace pmv::live
