// The interactive mode of corvane-remote.
#pragma once

#include "remote/options.h"

// Logs in and runs until the user quits or the connection ends; returns the exit status.
int RunPresent(const RemoteOptions& options);
