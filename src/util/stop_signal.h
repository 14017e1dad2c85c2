// The signals that end a run in order: SIGINT (Ctrl+C), SIGTERM and SIGHUP. The handler only
// notes the signal; the run looks at it between events and stops as 'q' would. Only a second
// Ctrl+C at a terminal ends the process at once. SIGPIPE and SIGXFSZ are ignored: the write
// they would interrupt fails instead, and says so.
#pragma once

namespace stemscan {

void installStopSignals();
// The signal received, or 0.
int pendingStopSignal();
// "SIGINT", "SIGTERM", "SIGHUP" or "signal N".
const char* stopSignalName(int signal);

}  // namespace stemscan
