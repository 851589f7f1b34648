// The command handler: one command line of a logged-in phone turned into its effect.
#pragma once

// Pointer and keyboard input happen at once on the calling thread; presentation commands are
// posted to the worker; "QueryInfo" answers into `reply`. Returns the reply length or 0.
// `owner` is the HandlerContext. Called concurrently from every connection thread.
int DispatchCommand(const char* clientId, const char* command, const char* parameter, char* reply,
                    void* owner);

// The version number phones read: the product version's last two parts as a decimal
// number times 100 (1.0.1.52 gives 152, 1.0.1.5 gives 150); 100 when unreadable.
int ProductVersionNumber();
