// One run of the voltra program: read, assign, summarise, write.
#pragma once

#include "Options.h"

#include <ostream>

namespace VoltraApp {

/// Runs what options ask for; messages go to err (prefixed "voltra: "), standard-output
/// outputs to out. Returns the exit status (ExitCodes.h). Never throws.
int Run(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace VoltraApp
