# shellcheck shell=bash disable=SC2154  # the variables of cli_round_trip.sh
# Sourced by cli_round_trip.sh with PLANTED_DLL: plants an OpenSSL configuration that activates
# the planted DLL as a provider, and leaves the default provider out (so that a configuration
# that is read at all stops every digest and cipher), in C:\planted and in every folder that
# the DLL and qmtsr.exe name as shipped (a path "/x" means "C:\x" to a program on drive C:); points
# OPENSSL_CONF, OPENSSL_MODULES and OPENSSL_ENGINES there. Adds each folder to planted_folders.

planted="$drive/planted"
rm -rf "$planted"
mkdir -p "$planted"
planted_folders+=("$planted")
cp "$planted_dll" "$planted/planted.dll"

# The marker works: a rundll32 of the DLL's own architecture loads it (PE machine 0x14c: i386).
pe_offset="$(od -An -tu4 -j60 -N4 "$planted_dll" | tr -d ' ')"
machine="$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$planted_dll" | tr -d ' ')"
system=system32
[ "$machine" = 014c ] && system=syswow64
"$wine_run" "C:\\windows\\$system\\rundll32.exe" 'C:\planted\planted.dll,Load' \
  </dev/null >/dev/null 2>&1 || true
[ -f "$planted/planted.dll.loaded" ] || {
  echo "rundll32 did not load the planted DLL: its marker cannot show a load" >&2
  exit 1
}
rm "$planted/planted.dll.loaded"

write_config() {  # FOLDER (Windows path) FILE
  cat >"$2" <<CONFIG
config_diagnostics = 1
openssl_conf = planted_init

[planted_init]
providers = planted_providers
engines = planted_engines

[planted_providers]
planted = planted_provider

[planted_provider]
module = $1\\planted.dll
activate = 1

[planted_engines]
planted = planted_engine

[planted_engine]
dynamic_path = $1\\planted.dll
init = 1
CONFIG
}
write_config 'C:\planted' "$planted/openssl.cnf"

# The strings of the binaries as shipped: stripped, without the debugging information, which
# names the source files.
strip="x86_64-w64-mingw32-strip"
[ "$machine" = 014c ] && strip="i686-w64-mingw32-strip"
binaries=()
for binary in "$qmtsr" "$(dirname "$qmtsr")/NRDEnrollmentCPPWrapper.dll"; do
  "$strip" -o "$work/$(basename "$binary")" "$binary"
  binaries+=("$work/$(basename "$binary")")
done
while read -r named; do
  top="$drive/$(cut -d/ -f2 <<<"$named")"
  # Only folders of its own: the prefix's own ones (windows, users...) stay untouched.
  if [[ " ${planted_folders[*]} " != *" $top "* ]]; then
    [ ! -e "$top" ] || continue
    planted_folders+=("$top")
  fi
  folder="$drive$named"
  mkdir -p "$folder" 2>/dev/null || continue
  cp "$planted_dll" "$folder/planted.dll"
  write_config "C:${named//\//\\}" "$folder/openssl.cnf"
done < <(strings -a "${binaries[@]}" | grep -E '^/[^/ %"*?|:;]+(/[^ %"*?|:;]+)*$' | sort -u)
echo "planted openssl.cnf in C:\\planted and below: ${planted_folders[*]#"$drive"}"

export OPENSSL_CONF='C:\planted\openssl.cnf' OPENSSL_MODULES='C:\planted' \
  OPENSSL_ENGINES='C:\planted'
