// The program's summary as JSON, for scripts and workflows: one object per input.
// The schema is described in the README ("JSON summary").
#pragma once

#include "InputRun.h"

#include <string>
#include <vector>

namespace VoltraApp {

/// A JSON array with one object per outcome, in the order given, ending in a newline.
std::string SummaryJsonText(const std::vector<InputOutcome>& outcomes);

}  // namespace VoltraApp
