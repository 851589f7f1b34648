#!/bin/sh
# Installs the Debian packages a step needs, only when some are missing:
#   scripts/deps.sh build        native build of the program
#   scripts/deps.sh test         both targets, their tests and the display they use (libnotify4
#                                lets the login-notice tests go through the library; the
#                                program itself runs without it; imagemagick takes the dialog
#                                screenshots, fonts-wqy-microhei gives Wine and the desktop face
#                                Chinese glyphs; python3 and openssl run the updater tests' HTTPS
#                                service; LibreOffice Impress with its SDK builds the office
#                                module and runs its end-to-end tests; nsis, dpkg-dev and lintian
#                                build the Windows installer and the Debian package and check
#                                them; qt6-base-dev builds the Linux desktop face, which trayer (a
#                                tray host), dbus (a private session bus) and fonts-liberation (its
#                                Latin face) let the tests show)
#   scripts/deps.sh package      what scripts/package needs: the Windows cross build, NSIS, and
#                                dpkg-dev for the Debian package's dependencies
#   scripts/deps.sh artwork      what resources/make_artwork.py needs to redraw the pictures
# Needs root (or sudo) only when something is missing.
set -eu
packages="cmake ninja-build g++ make"
# Installed without their recommended packages: LibreOffice and Qt recommend far more than they
# need (LibreOffice about 290 MB without, gigabytes with; Qt a desktop's worth).
lean=""
for group in "$@"; do
    case "$group" in
    build) packages="$packages libx11-dev libxtst-dev libxfixes-dev libxcursor-dev
                     libcurl4-openssl-dev" ;;
    test) packages="$packages googletest libgtest-dev g++-mingw-w64-x86-64-posix mingw-w64-tools
                    wine wine64 xvfb iproute2 libnotify4 imagemagick fontconfig
                    fonts-wqy-microhei python3 openssl nsis dpkg-dev lintian trayer dbus
                    fonts-liberation"
          lean="$lean libreoffice-impress libreoffice-dev ure qt6-base-dev" ;;
    package) packages="$packages g++-mingw-w64-x86-64-posix mingw-w64-tools nsis dpkg-dev" ;;
    artwork) packages="$packages python3 python3-pil fonts-dejavu-core fonts-noto-cjk" ;;
    fuzz) packages="$packages clang libclang-rt-dev" ;;
    *) echo "deps.sh: unknown group $group" >&2; exit 2 ;;
    esac
done
# absent LIST: the packages of LIST that are not installed.
absent() {
    for p in $1; do
        status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
        case "$status" in
        *"install ok installed"*) ;;
        *) printf ' %s' "$p" ;;
        esac
    done
}
missing=$(absent "$packages")
missing_lean=$(absent "$lean")
[ -z "$missing" ] && [ -z "$missing_lean" ] && exit 0
echo "Installing:$missing$missing_lean"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
# With recommended packages: Wine needs several of them at run time (gnutls for HTTPS, the
# X extensions and fonts for windows), as a machine that installed it the usual way has them.
# shellcheck disable=SC2086
[ -z "$missing" ] || $sudo apt-get install -y $missing
# shellcheck disable=SC2086
[ -z "$missing_lean" ] || $sudo apt-get install -y --no-install-recommends $missing_lean
