// The two callbacks through which the service hands phones' command lines and discovery probes
// to the program.
#pragma once

constexpr int kReplyBufferSize = 8192;

// Called for every command line of a logged-in phone (and once for the login itself). Writes at
// most kReplyBufferSize bytes into `reply`; a result above zero is sent back as it is.
// Called concurrently from every connection thread.
using CommandHandler = int (*)(const char* clientId, const char* command, const char* parameter,
                               char* reply, void* owner);
// Called for every discovery probe; a result above zero goes back as one datagram.
// Called concurrently from the two discovery threads.
using DiscoveryHandler = int (*)(const char* clientId, const char* parameter, char* reply,
                                 void* owner);
