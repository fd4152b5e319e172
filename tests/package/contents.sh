#!/usr/bin/env bash
# What an archive holds at its top, exactly, and the README it ships: the viewer's own (not the
# repository's, so no build or test commands), README.md with LF line ends on Linux and README.txt
# with CR LF line ends on Windows (Notepad opens it on a double-click), every file it links to
# shipped at that path, and the five resources. The web zip holds the page and its script (the
# resources are inside it) and a README of its own that says how to open and host the page.
#   contents.sh ARCHIVE
set -uo pipefail
source "$(dirname "$0")/common.sh"
unpack "$1"

web=false
case "$1" in
  *-web.zip)
    web=true
    readme=README.md
    want="LICENSE README.md THIRD-PARTY-NOTICES index.html zephyrine-web.js"
    ;;
  *.tar.gz)
    readme=README.md
    want="LICENSE README.md THIRD-PARTY-NOTICES docs libepoxy.so.0 libepoxy.so.0.0.0 resources zephyrine-1080 zephyrine-720 zephyrine-capture"
    ;;
  *.zip)
    readme=README.txt
    want="LICENSE README.txt THIRD-PARTY-NOTICES docs resources zephyrine-1080.exe zephyrine-720.exe"
    ;;
  *) fail "$1 is neither a .tar.gz nor a .zip" ;;
esac
have=$(cd "$top" && LC_ALL=C ls -A | tr '\n' ' ' | sed 's/ $//')
[ "$have" = "$want" ] || fail "top folder holds '$have', want '$want'"

if ! $web; then
  for f in mesh2.glb texture1.png texture2.png texture3.png audio.mp3; do
    [ -s "$top/resources/$f" ] || fail "resources/$f is missing or empty"
  done
fi

file="$top/$readme"
lines=$(wc -l < "$file")
crlf=$(grep -c $'\r$' "$file")
if [ "$readme" = README.txt ]; then
  [ "$crlf" -eq "$lines" ] || fail "$readme: $crlf of $lines lines end in CR LF"
  [ -z "$(tail -c 2 "$file" | tr -d '\r\n')" ] || fail "$readme: the last line has no line end"
else
  [ "$crlf" -eq 0 ] || fail "$readme: $crlf lines end in CR LF"
fi
text=$(tr -d '\r' < "$file")
# Here-strings, not pipes from echo: grep -q and head stop reading early, and under pipefail the
# writer's broken pipe would fail a check that held.
[ "${text%%$'\n'*}" = '# Tumblecrate' ] || fail "$readme: first line is not '# Tumblecrate'"
for word in 'scripts/' 'cmake ' 'ctest' 'build/'; do
  ! grep -q -F -- "$word" <<<"$text" || fail "$readme names '$word': a repository command"
done
if $web; then
  needed=(index.html 'web server' 'local file' '?start=' Escape LICENSE THIRD-PARTY-NOTICES)
else
  needed=(Escape --fullscreen LICENSE THIRD-PARTY-NOTICES 'exit code')
fi
for word in "${needed[@]}"; do
  grep -q -i -F -- "$word" <<<"$text" || fail "$readme does not mention '$word'"
done
if $web; then
  echo "ok: $(basename "$1"): $want; $readme ($lines lines)"
  exit 0
fi

links=$(echo "$text" | grep -o -E '\]\([^):]+\)' | sed -E 's/^\]\((.*)\)$/\1/')
[ -n "$links" ] || fail "$readme links no picture"
for link in $links; do
  [ -s "$top/$link" ] || fail "$readme links $link, which the archive does not hold"
done
extra=$(cd "$top/docs" && ls -A | while read -r f; do echo "$links" | grep -q -x "docs/$f" || echo "$f"; done)
[ -z "$extra" ] || fail "docs/ holds files the README does not link: $extra"
echo "ok: $(basename "$1"): $want; $readme ($lines lines) links $(echo $links)"
