// Xlib's error handlers are process-wide, and its defaults end the process. The program's own
// X connections are registered here, so that a server that goes away or a request that fails
// is theirs to handle; every other connection's errors pass on to the handlers found before.
// Any thread.
#pragma once

#include <X11/Xlib.h>

// `purpose` names the connection in the log line of a failed request ("injecting input"); with
// nullptr failed requests are expected (a window that vanished) and not logged. Installs the
// handlers on first use; SIGPIPE is ignored from then on, as Xlib writes to servers that left.
void GuardDisplay(Display* display, const char* purpose);
void UnguardDisplay(Display* display);
