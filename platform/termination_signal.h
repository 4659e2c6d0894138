// Turns SIGTERM, SIGINT and SIGHUP into a byte on a pipe, so the event loop
// can end normally (and the window save its settings) when the session or a
// terminal ends the program. Only a pipe: it knows nothing of event loops.
#pragma once

namespace quill {

// Installs the handlers once; the pipe's read end, or -1 when none could be made.
int terminationSignalPipe();

}  // namespace quill
