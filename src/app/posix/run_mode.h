// Whether the Linux program shows its desktop face or runs without windows, as it always has
// on servers, in tests and in the benchmark.
#pragma once

// The desktop face is used when one is built in, the command line does not ask for the program
// without windows ("--headless"), and the X display in DISPLAY accepts this program as a client.
bool UseDesktopFace(bool faceBuiltIn, bool headless);
