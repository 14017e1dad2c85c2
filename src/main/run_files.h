// The files a run is told to read and write, checked before anything runs: a base name for the
// tables that can be one, and no output that would replace an input or a file of the user's.
#pragma once

#include <string>

#include "main/command_line.h"

namespace stemscan {

// Why the tables cannot be written under `out`; empty when they can.
std::string checkOutName(const std::string& out);

// Why an output of the run would replace one of its input files (the script, the times, the
// layout), the record would replace an input or an output, or the record would replace a file
// that is not a session record; empty when none would.
std::string checkInputsAndOutputs(const StartupSettings& settings);

}  // namespace stemscan
