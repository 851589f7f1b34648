#!/bin/sh
# Fails when a core source includes an operating-system header.
src=$1
hits=$(grep -nE '#\s*include\s*<(windows|winsock2|ws2tcpip|iphlpapi|objbase|oleauto|shlobj|unistd|fcntl|X11/[^>]*|sys/[^>]*|netinet/[^>]*|arpa/[^>]*|net/[^>]*|ifaddrs|dlfcn|pthread|poll|netdb)\.h>' \
    "$src"/support "$src"/service "$src"/commands "$src"/presentation "$src"/shell \
    "$src"/netinfo "$src"/update 2>/dev/null)
if [ -n "$hits" ]; then
    echo "operating-system headers in the core (use an interface in src/platform/):"
    echo "$hits"
    exit 1
fi
echo "core is free of operating-system headers"
