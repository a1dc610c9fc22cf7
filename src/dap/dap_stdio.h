// quorvel-cli --dap: the Debug Adapter Protocol server on standard input
// and output. Nothing else is written to standard output; notes about the
// session itself go to standard error.
#pragma once

namespace quorvel::dap {

// Serves one client until it disconnects or its input ends; the exit
// status (0, or 1 when standard output could not be written).
int serveStandardStreams();

} // namespace quorvel::dap
