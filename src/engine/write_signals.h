#pragma once
// A write that cannot go on (standard output into a pipe whose reader has
// gone, as `| head` does; a file past the size limit of `ulimit -f`) ends the
// program at once by default, by SIGPIPE or SIGXFSZ, before it can clean up:
// its hidden output files and work folders would stay. Ignored, the signals
// become write errors (EPIPE, EFBIG) that the command reports and cleans up
// after like a full disk. Programs the run starts get their defaults back.

namespace tarnwick {

// Ignores SIGPIPE and SIGXFSZ for the whole process; a front end calls it
// once at its start.
void ignoreWriteSignals();

} // namespace tarnwick
