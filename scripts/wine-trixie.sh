#!/usr/bin/env bash
# Makes, once, the Wine that runs the 32-bit Windows build: Debian trixie's 64-bit Wine 10 in
# WoW64 mode (32-bit Windows code inside a 64-bit Unix process, which this machine's kernel
# runs, where it runs no 32-bit program), in a trixie chroot so that trixie's libraries never
# replace this machine's own. Trixie's wine64 ships the WoW64 layer but no 32-bit Windows DLLs:
# those of libwine:i386 are unpacked (not installed) beside them. The chroot also holds the
# run-time libraries of the Linux sentrel-devserver, which the end-to-end suite starts from
# inside Wine.
# The chroot lives outside the tree, in $QMT_WINE_CACHE (default ~/.cache/qmt-wine-trixie);
# a complete one is reused as it is. Prints its folder on the last line. Needs root (chroot).
# Usage: scripts/wine-trixie.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/wine-chroot-mounts.sh"
cache="${QMT_WINE_CACHE:-$HOME/.cache/qmt-wine-trixie}"
# Bumped whenever the recipe below changes what ends up in the chroot.
dir="$cache/trixie-r1"
mkdir -p "$cache"
exec 9>"$cache/build.lock"  # two runs never build it at once: the second waits, then reuses
flock 9
if [ -f "$dir/.complete" ]; then
  echo "$dir"
  exit 0
fi

started=$SECONDS
# The Debian archive this machine uses.
mirror="$(awk '$1 == "URIs:" { print $2; exit }' /etc/apt/sources.list.d/debian.sources \
  2>/dev/null || true)"
mirror="${mirror:-http://deb.debian.org/debian}"
work="$dir.new"
trap 'chroot_unmount "$work"; rm -rf "$work"' EXIT
chroot_unmount "$work"
rm -rf "$work"
debootstrap --variant=minbase trixie "$work" "$mirror" >"$cache/debootstrap.log" 2>&1 || {
  tail -n 30 "$cache/debootstrap.log" >&2
  exit 1
}
echo "wine-trixie: trixie base after $((SECONDS - started)) s" >&2

chroot_mount "$work"
in_chroot() { chroot "$work" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
  DEBIAN_FRONTEND=noninteractive "$@"; }
in_chroot dpkg --add-architecture i386
in_chroot apt-get update -qq
in_chroot apt-get install -y -qq --no-install-recommends wine64 libwine \
  libsqlite3-0 libssl3t64 libbrotli1 zlib1g >/dev/null
# The 32-bit Windows DLLs, beside the 64-bit package's (whose own files stay where both have one).
in_chroot sh -c 'cd /tmp && apt-get download -qq libwine:i386 && dpkg-deb -x libwine_*_i386.deb i386'
cp -rn "$work/tmp/i386/usr/lib/i386-linux-gnu/wine/i386-windows/." \
  "$work/usr/lib/x86_64-linux-gnu/wine/i386-windows/"
rm -rf "$work/tmp/i386" "$work"/tmp/libwine_*_i386.deb
# The dev server is built against this machine's cpp-httplib, whose soname trixie lacks.
cp -a /usr/lib/x86_64-linux-gnu/libcpp-httplib.so.0.11* "$work/usr/lib/x86_64-linux-gnu/"
in_chroot apt-get clean
version="$(in_chroot /usr/lib/wine/wine64 --version)"
chroot_unmount "$work"
echo "$version" >"$work/.complete"
mv "$work" "$dir"
trap - EXIT
echo "wine-trixie: $(cat "$dir/.complete") in a trixie chroot after $((SECONDS - started)) s" >&2
echo "$dir"
