// Whether there is an X display to show windows on.
#pragma once

// True when the display named by DISPLAY (empty or unset: none) accepts a connection from this
// process. The connection is closed again at once. Any thread.
bool X11DisplayReachable();
