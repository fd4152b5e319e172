#!/usr/bin/env bash
# Renders the same song times through the Direct3D 11 build (frame-shot.exe under Wine) and the
# OpenGL build (frame-shot-gl, native), both at 1280 x 720 with the demo's resources, and requires
# at least 99% of the pixels of every frame to agree within 3/255 per channel. On a difference the
# two frames and a difference image are kept in build/windows/frame-diff/.
# Runs inside the Wine environment of scripts/test-windows (WINEPREFIX and DISPLAY set).
# Usage: compare_frames.sh <scratch-folder>
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$1
# Central cube alone (one with the texture flicker), the wall, the lattice, the lattice with the
# ring's first beat, the ring with per-cube spin, the wobbling lattice with the ring, the ring
# alone late in the song.
times=(1.5 2.5 20 30 40 80 100 150)

# The OpenGL side comes from the Linux build (tests/render/gl), brought up to date here.
gl_build="$root/build/linux/tests/render/gl"
if ! { [ -f "$root/build/linux/CMakeCache.txt" ] || (cd "$root" && cmake --preset linux >/dev/null); } ||
   ! cmake --build "$root/build/linux" -j 2 --target frame-shot-gl image-compare >/dev/null; then
  echo "compare_frames: the OpenGL frame-shot did not build"
  exit 1
fi

mkdir -p "$work/d3d11" "$work/gl"
ln -sfn "$root/resources" "$work/resources"
(cd "$work" && timeout 120 wine "$root/build/windows/tests/windows/frame-shot.exe" d3d11 \
   "${times[@]}") || { echo "compare_frames: frame-shot.exe failed"; exit 1; }
(cd "$work" && timeout 120 "$gl_build/frame-shot-gl" gl "${times[@]}") ||
  { echo "compare_frames: frame-shot-gl failed"; exit 1; }

status=0
keep="$root/build/windows/frame-diff"
for i in "${!times[@]}"; do
  a="$work/d3d11/frame-$i.png"
  b="$work/gl/frame-$i.png"
  printf 'compare_frames: t = %s s: ' "${times[$i]}"
  if ! "$gl_build/image-compare" "$a" "$b" "$work/diff-$i.png"; then
    status=1
    mkdir -p "$keep"
    cp "$a" "$keep/t${times[$i]}-d3d11.png"
    cp "$b" "$keep/t${times[$i]}-gl.png"
    cp "$work/diff-$i.png" "$keep/t${times[$i]}-diff.png" 2>/dev/null
  fi
done
exit "$status"
