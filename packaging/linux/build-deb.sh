#!/bin/sh
# Builds the Debian package from a configured and built tree:
#   build-deb.sh BUILD_DIR OUTPUT.deb VERSION ARCH "NAME <MAIL>"
# The files come from the tree's install rules (prefix /usr, binaries stripped); this script adds
# what Debian asks of a package: compressed manual pages and changelog, the control file with the
# shared libraries the binaries need (dpkg-shlibdeps), md5sums, root-owned files.
set -eu
build=$1
output=$2
version=$3
arch=$4
maintainer=$5
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr --strip >/dev/null
doc="$root/usr/share/doc/corvaneserver"

# The changelog's date: SOURCE_DATE_EPOCH, else the last commit, so that a tree gives the same
# package every time.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || date +%s)}
date=$(LC_ALL=C date -u -R -d "@$epoch")
sed -e "s|@VERSION@|$version|" -e "s|@MAINTAINER@|$maintainer|" -e "s|@DATE@|$date|" \
    "$here/changelog.in" >"$doc/changelog"
gzip -9n "$doc/changelog" "$root"/usr/share/man/man1/*.1

# Permissions as Debian wants them, whatever the umask of whoever builds.
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
chmod 0755 "$root"/usr/bin/*
[ ! -d "$root/usr/lib/corvaneserver" ] || chmod 0644 "$root"/usr/lib/corvaneserver/*
# The LibreOffice module, when this build made one: used only where LibreOffice is installed.
suggests=""
if [ -e "$root/usr/lib/corvaneserver/corvane-uno.so" ]; then
    suggests=$(printf '\nSuggests: libreoffice-impress')
fi
# File times from the same date, so that one tree gives the same package every time.
find "$root" -exec touch -h -d "@$epoch" {} +

# Depends: from the libraries the binaries link to. libnotify is opened at run time when present,
# so it is only recommended.
mkdir -p "$work/debian" "$root/DEBIAN"
printf 'Source: corvaneserver\n\nPackage: corvaneserver\nArchitecture: any\n' \
    >"$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O "$root"/usr/bin/* | sed -n 's/^shlibs:Depends=//p')
if [ -z "$depends" ]; then
    echo "build-deb.sh: dpkg-shlibdeps found no libraries" >&2
    exit 1
fi
size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
cat >"$root/DEBIAN/control" <<CONTROL
Package: corvaneserver
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $size
Depends: $depends
Recommends: libnotify4${suggests}
Section: utils
Priority: optional
Description: presentation remote: the phone app drives this computer
 CorvaneServer turns a phone into a presentation remote. It runs on the
 computer you present from; the phone app on the same network finds it,
 logs in with a password and then moves and clicks the pointer, presses
 keys, types text and drives the slideshow (next, previous, go to a slide,
 black screen, end).
 .
 The package holds the server (CorvaneServer), which sends its input to the
 X display through XTest, and corvane-remote, the same remote control from a
 terminal or a script.
CONTROL
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

mkdir -p "$(dirname "$output")"
dpkg-deb --root-owner-group -Zxz --build "$root" "$output.partial" >/dev/null
mv "$output.partial" "$output"
echo "$output"
