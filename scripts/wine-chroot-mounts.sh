# shellcheck shell=bash
# Sourced: mounts a Wine chroot needs while programs run in it, and their removal.
# chroot_mount DIR [TREE...] mounts proc, the machine's /dev (with its sub-mounts: /dev/shm,
# /dev/pts) and each TREE at the same path inside DIR; chroot_unmount DIR removes every mount
# below DIR again. The mounts are slaves of the machine's: nothing made or removed inside the
# chroot reaches the machine's own mount table.
chroot_mount() {
  local dir="$1" tree
  shift
  chroot_unmount "$dir"  # what an interrupted run may have left
  mount -t proc proc "$dir/proc"
  mount --rbind /dev "$dir/dev"
  mount --make-rslave "$dir/dev"
  for tree in "$@"; do
    mkdir -p "$dir$tree"
    mount --rbind "$tree" "$dir$tree"
    mount --make-rslave "$dir$tree"
  done
}

chroot_unmount() {
  local dir target
  dir="$(realpath "$1")"
  # Deepest first; a busy mount is detached lazily rather than kept.
  findmnt -rn -o TARGET | awk -v d="$dir/" 'index($0 "/", d) == 1' | sort -r |
    while read -r target; do
      umount "$target" 2>/dev/null || umount -l "$target" 2>/dev/null || true
    done
}
