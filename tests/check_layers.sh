#!/bin/sh
# The source tree is built in floors; an include may point down a floor or stay on its own, never
# up. Fails, naming the line, when an include breaks these rules:
#
#   support/                    support only
#   platform/ (and win32/, posix/ below it)
#                               support, platform
#   service/, presentation/, netinfo/, update/
#                               support, platform, and their own folder
#   commands/                   support, platform, service, presentation, commands
#   shell/                      everything of the core: support, platform, service, presentation,
#                               netinfo, update, commands, shell
#   app/win32/, app/posix/      anything but the other system's program folder
#   app/qt/                     the Linux program's desktop face: like app/posix, and app/posix
#                               (never the other way round)
#   main_win32.cpp              app/win32 only
#   main_posix.cpp              app/posix, and app/qt for the desktop face
#
# The core (service to shell) also includes no operating-system header (check_core_headers.sh).
src=$1
status=0

# check FOLDER_OR_FILE ALLOWED...: every project include below it must start with an allowed prefix.
check() {
    where=$1
    shift
    allowed=$*
    grep -rnHE '^\s*#\s*include\s*"[^"]+"' "$src/$where" 2>/dev/null |
    while IFS= read -r hit; do
        target=$(printf '%s\n' "$hit" | sed -E 's/.*#\s*include\s*"([^"]+)".*/\1/')
        case "$target" in
        */*) ;;
        *) continue ;;  # a file of the same folder, or a resource header beside the program
        esac
        ok=no
        for prefix in $allowed; do
            case "$target" in
            "$prefix"/*) ok=yes ;;
            esac
        done
        if [ "$ok" = no ]; then
            echo "include points up a floor: ${hit#"$src"/}"
            echo x
        fi
    done
}

out=$(
    check support support
    check platform support platform
    check service support platform service
    check presentation support platform presentation
    check netinfo support platform netinfo
    check update support platform update
    check commands support platform service presentation commands
    check shell support platform service presentation netinfo update commands shell
    check app/win32 support platform service presentation netinfo update commands shell app/win32
    check app/posix support platform service presentation netinfo update commands shell app/posix
    check app/qt support platform service presentation netinfo update commands shell app/posix app/qt
    check main_win32.cpp app/win32
    check main_posix.cpp app/posix app/qt
)
if printf '%s\n' "$out" | grep -q '^x$'; then
    printf '%s\n' "$out" | grep -v '^x$'
    status=1
else
    echo "every include points down a floor or stays on its own"
fi
exit $status
