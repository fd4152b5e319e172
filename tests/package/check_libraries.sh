#!/usr/bin/env bash
# The Linux archive's binaries ask the system only for what every desktop has and must not be
# carried: the C library (no symbol newer than GLIBC_2.35, so Ubuntu 22.04 / Mint 21 and later),
# the graphics driver stack, the window-system client libraries and the sound-server client
# libraries. Anything else they need has to lie beside them in the archive, and be found there
# through the run path $ORIGIN. The C++ runtime must be linked in: no GLIBCXX / CXXABI / GCC_
# symbol versions at all.
#   check_libraries.sh ARCHIVE
set -uo pipefail
source "$(dirname "$0")/common.sh"
unpack "$1"

newest_glibc=2.35
system_libraries='^(libc\.so\.6|libm\.so\.6|libdl\.so\.2|libpthread\.so\.0|librt\.so\.1|ld-linux-x86-64\.so\.2|libGL\.so\.1|libEGL\.so\.1|libGLX\.so\.0|libOpenGL\.so\.0|libGLdispatch\.so\.0|libdrm\.so\.2|libgbm\.so\.1|libX11\.so\.6|libX11-xcb\.so\.1|libXext\.so\.6|libxcb[a-z0-9-]*\.so\.[0-9]+|libwayland-(client|egl|cursor)\.so\.[0-9]+|libasound\.so\.2|libpulse(-simple)?\.so\.0)$'

failures=0
problem() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

elves=()
while IFS= read -r -d '' f; do
  [ -L "$f" ] && continue
  head -c 4 "$f" | grep -q $'^\x7fELF' && elves+=("$f")
done < <(find "$top" -type f -print0)
[ "${#elves[@]}" -ge 2 ] || fail "fewer than two ELF files in the archive"

for elf in "${elves[@]}"; do
  name=${elf#"$top"/}
  versions=$(objdump -T "$elf" | grep -o -E '\((GLIBC|GLIBCXX|CXXABI|GCC)_[0-9.A-Z_]+\)' | tr -d '()' | sort -u)
  for v in $versions; do
    case "$v" in
      GLIBC_PRIVATE) problem "$name needs GLIBC_PRIVATE" ;;
      GLIBC_*)
        n=${v#GLIBC_}
        if [ "$(printf '%s\n%s\n' "$n" "$newest_glibc" | sort -V | tail -n 1)" != "$newest_glibc" ]; then
          problem "$name needs $v (newest allowed: GLIBC_$newest_glibc): $(objdump -T "$elf" | grep "($v)" | awk '{print $NF}' | tr '\n' ' ')"
        fi
        ;;
      *) problem "$name needs $v: the C++ runtime is not linked in" ;;
    esac
  done
  newest=$(echo "$versions" | grep '^GLIBC_[0-9]' | sed 's/GLIBC_//' | sort -V | tail -n 1)

  needed=$(readelf -d "$elf" | sed -n -E 's/.*\(NEEDED\).*\[(.*)\]/\1/p')
  for lib in $needed; do
    if echo "$lib" | grep -q -E "$system_libraries"; then
      continue
    elif [ -e "$top/$lib" ]; then
      runpath=$(readelf -d "$elf" | sed -n -E 's/.*\((RUNPATH|RPATH)\).*\[(.*)\]/\2/p')
      [ "$runpath" = '$ORIGIN' ] || problem "$name carries $lib beside it but its run path is '$runpath', not \$ORIGIN"
    else
      problem "$name needs $lib, which is neither the system's to give nor carried in the archive"
    fi
  done
  echo "$name: GLIBC_${newest:-none}, needs $(echo $needed | tr ' ' ',')"
done

# Everything carried is needed by something: no stray copies of system libraries.
while IFS= read -r -d '' so; do
  soname=$(readelf -d "$so" | sed -n -E 's/.*\(SONAME\).*\[(.*)\]/\1/p')
  name=${so#"$top"/}
  echo "$soname" | grep -q -E "$system_libraries" && problem "the archive carries the system's $soname"
  used=0
  for elf in "${elves[@]}"; do
    readelf -d "$elf" | grep -q "(NEEDED).*\[$soname\]" && used=1
  done
  [ "$used" -eq 1 ] || problem "the archive carries $name ($soname), which nothing needs"
done < <(find "$top" -name '*.so*' -type f -print0)

[ "$failures" -eq 0 ] || exit 1
echo "ok: ${#elves[@]} binaries"
