// The signals that end a run in order: SIGINT (Ctrl+C), SIGTERM and SIGHUP. The handler only
// notes the signal; the run looks at it between events and stops as 'q' would. A second
// signal of the same kind ends the process at once.
#pragma once

namespace stemscan {

void installStopSignals();
// The signal received, or 0.
int pendingStopSignal();
// "SIGINT", "SIGTERM", "SIGHUP" or "signal N".
const char* stopSignalName(int signal);

}  // namespace stemscan
