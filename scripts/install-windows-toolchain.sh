#!/usr/bin/env bash
# Installs the Windows cross toolchain and Wine from Debian, and a deb-src entry for the
# installed suites so that the dependencies can be built from Debian's own source packages.
# Idempotent and quick when everything is present.
set -euo pipefail
"$(dirname "$0")/install-deps.sh"

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine64 dpkg-dev osslsigncode debootstrap
)
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

sources=/etc/apt/sources.list.d/qmt-deb-src.sources
updated=0
if [ ! -f "$sources" ]; then
  # The same archives and suites as the binary packages, as source entries.
  { [ -f /etc/apt/sources.list.d/debian.sources ] && cat /etc/apt/sources.list.d/debian.sources; } |
    sed -e 's/^Types:.*/Types: deb-src/' | "${sudo_cmd[@]}" tee "$sources.new" >/dev/null
  if ! grep -q '^Types: deb-src' "$sources.new"; then
    # A machine with a one-line sources.list: mirror its deb lines.
    grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/qmt-deb-src.list >/dev/null
    "${sudo_cmd[@]}" rm -f "$sources.new"
  else
    "${sudo_cmd[@]}" mv "$sources.new" "$sources"
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  updated=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  [ "$updated" -eq 1 ] || "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi
