#!/usr/bin/env bash
# The Linux archive on a machine that never saw our build: a Debian 12 root made with
# `debootstrap --variant=minbase` plus only Xvfb and Mesa's drivers (no SDL2, no build tools, no
# C++ runtime beyond what minbase has). The archive is unpacked there and started by its full path
# from an unrelated folder; it must print beat 0 and end with exit code 0 on SIGTERM (which the
# program takes as a close request). The root is made once, under the build folder, and reused.
# Skipped (exit 77) when not run as root or when the root cannot be made (no debootstrap, no
# access to Debian's archive).
#   clean_debian_root.sh ARCHIVE ROOT_FOLDER
set -uo pipefail
source "$(dirname "$0")/common.sh"
archive=$1
rootfs=$2
mirror=${TUMBLECRATE_DEBIAN_MIRROR:-http://deb.debian.org/debian}

skip() {
  echo "SKIP: $*" >&2
  exit "$SKIP"
}
[ "$(id -u)" -eq 0 ] || skip "needs root (debootstrap, chroot)"
command -v debootstrap >/dev/null || skip "debootstrap is not installed"
command -v unshare >/dev/null || skip "unshare is not installed"
[ -f "$archive" ] || fail "$archive is missing: run scripts/package first"

mkdir -p "$(dirname "$rootfs")"
exec 9>"$rootfs.lock"
flock 9
if [ ! -f "$rootfs/.complete" ]; then
  echo "making a clean Debian 12 root in $rootfs (first run only, a few minutes)" >&2
  rm -rf "$rootfs" "$rootfs.partial"
  if ! debootstrap --variant=minbase --include=xvfb,libgl1-mesa-dri bookworm "$rootfs.partial" \
      "$mirror" >"$scratch/debootstrap.log" 2>&1; then
    tail -n 5 "$scratch/debootstrap.log" >&2
    rm -rf "$rootfs.partial"
    skip "debootstrap could not make the root"
  fi
  rm -rf "$rootfs.partial/var/cache/apt/archives"/*.deb
  mv "$rootfs.partial" "$rootfs"
  touch "$rootfs/.complete"
fi
flock -u 9

# The root is what the test claims it is: nothing the archive could lean on by accident.
for absent in usr/lib/x86_64-linux-gnu/libSDL2-2.0.so.0 usr/lib/x86_64-linux-gnu/libepoxy.so.0 \
              usr/bin/gcc usr/bin/cc; do
  [ ! -e "$rootfs/$absent" ] || fail "the clean root has /$absent"
done

dest="$rootfs/opt/tc-test"
rm -rf "$dest"
mkdir -p "$dest"
tar -xzf "$archive" -C "$dest" || fail "cannot unpack $archive"
top=$(ls "$dest")
cat > "$dest/run.sh" <<'INNER'
#!/bin/sh
rm -f /tmp/display
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>/tmp/display 2>/dev/null &
xvfb=$!
i=0
while [ ! -s /tmp/display ] && [ "$i" -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
[ -s /tmp/display ] || { echo "Xvfb did not start in the clean root" >&2; exit 3; }
cd /tmp || exit 3
DISPLAY=":$(head -n 1 /tmp/display)" timeout --preserve-status -s TERM 6 "$1" \
  >/opt/tc-test/out.txt 2>/opt/tc-test/err.txt
rc=$?
kill "$xvfb"
exit "$rc"
INNER

# Private mount, network and process namespaces: /proc for the root, no clash with the host's X
# displays, and nothing left mounted afterwards.
unshare --mount --net --pid --fork --mount-proc="$rootfs/proc" \
  chroot "$rootfs" /bin/sh /opt/tc-test/run.sh "/opt/tc-test/$top/zephyrine-720"
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc in the clean root; stderr: $(grep -v '^ALSA lib' "$dest/err.txt" | tail -n 3)"
check_beats "$dest/out.txt" 1
echo "ok: $top/zephyrine-720 in a clean Debian 12 root: $(wc -l < "$dest/out.txt") beat lines, exit code 0"
grep -v "^ALSA lib" "$dest/err.txt" | head -n 3 >&2
rm -rf "$dest"
