#!/usr/bin/env bash
# Builds the Debian package from a finished build folder (default build/) and
# checks its control fields and file list.
set -euo pipefail
build=${1:-build}
fail() { echo "check-deb: $*" >&2; exit 1; }

rm -f "$build"/stagwerk_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/stagwerk_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no package"

info=$(dpkg-deb -I "$deb")
field() { printf '%s\n' "$info" | sed -n "s/^ $1: //p"; }
[ "$(field Package)" = stagwerk ] || fail "package name: $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture: $(field Architecture)"
depends=$(field Depends)
# Computed by dpkg-shlibdeps from what the programs link.
names=$(printf '%s\n' "$depends" | sed 's/ *([^)]*)//g; s/ *[,|] */\n/g')
for lib in libsdl2-2.0-0 libsdl2-mixer-2.0-0 libopenmpt0 libpng16-16 libglu1-mesa libgl1 libegl1 libassimp5 libc6 libstdc++6; do
  printf '%s\n' "$names" | grep -qxF "$lib" || fail "Depends lacks $lib: $depends"
done
printf '%s\n' "$depends" | grep -q -- '-dev' && fail "Depends names a development package: $depends"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/stagwerk ./usr/bin/kq7 ./usr/share/man/man1/stagwerk.1 ./usr/share/man/man1/kq7.1 \
         ./usr/share/doc/stagwerk/README.md ./usr/share/doc/stagwerk/LICENSE ./usr/share/doc/stagwerk/copyright \
         ./usr/share/doc/stagwerk/docs/architecture.md ./usr/share/stagwerk/demo/defaultdemoconfig.txt \
         ./usr/share/stagwerk/demo/theme.ogg ./usr/share/stagwerk/demo/data/demo.txt; do
  printf '%s\n' "$files" | grep -qxF "$f" || fail "$deb lacks $f"
done
printf '%s\n' "$files" | grep -qE '\.(a|h)$' && fail "$deb holds a library archive or header"

# The copyright file in Debian's machine-readable form, its licence text LICENSE's own.
source=$(dirname "$0")/..
copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/stagwerk/copyright)
format=$(head -n 1 "$source/packaging/copyright.in")
[[ $format == "Format: "*/copyright-format/1.0/ ]] || fail "packaging/copyright.in does not begin with the Format line"
[ "$(head -n 1 <<<"$copyright")" = "$format" ] ||
  fail "copyright: the first line is not the machine-readable Format: $(head -n 1 <<<"$copyright")"
for line in 'Upstream-Name: Stagwerk' 'Files: *' 'License: Expat'; do
  grep -qxF "$line" <<<"$copyright" || fail "copyright lacks the line '$line'"
done
grep -qE '^Copyright: [0-9]{4} ' <<<"$copyright" || fail "copyright names no year and holder"
body=$(sed -n '/^License: Expat$/,/^[^ ]/{/^ /p}' <<<"$copyright" | sed 's/^ //; s/^\.$//')
[ "$body" = "$(sed -n '/^Permission/,$p' "$source/LICENSE")" ] ||
  fail "copyright: the Expat licence text differs from LICENSE's"
echo "check-deb: $deb: Depends: $depends"
