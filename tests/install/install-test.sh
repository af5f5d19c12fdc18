#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as a user would:
# from an empty folder, finding the installed demo through XDG_DATA_DIRS.
# Also holds the man pages to the options --help lists.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install test: $*" >&2; exit 1; }
# In sanitizer builds: the GL driver the player loads leaks on its own, under
# no name LeakSanitizer can tell from ours; the in-process tests check ours.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/stagwerk bin/kq7 share/man/man1/stagwerk.1 share/man/man1/kq7.1 share/doc/stagwerk/README.md \
         share/doc/stagwerk/LICENSE share/doc/stagwerk/copyright share/doc/stagwerk/docs/architecture.md \
         share/stagwerk/demo/defaultdemoconfig.txt share/stagwerk/demo/data/demo.txt; do
  [ -e "$prefix/$f" ] || fail "$f was not installed"
done

# Every option of --help is in the man page, and the other way round.
options() { grep -oE '(^|[^a-zA-Z0-9-])--?[a-z][a-z0-9-]*' | grep -oE -- '--?[a-z][a-z0-9-]*' | sort -u; }
# kq7's page covers kq7 scene too, whose options its own --help lists.
for program in stagwerk kq7; do
  help=$({ "$prefix/bin/$program" --help; if [ "$program" = kq7 ]; then "$prefix/bin/kq7" scene --help; fi; } | options)
  man=$(sed 's/\\-/-/g; s/\\f[BIR]//g' "$prefix/share/man/man1/$program.1" | options)
  [ "$help" = "$man" ] || fail "$program.1 and $program --help name different options:
$(diff <(echo "$help") <(echo "$man") || true)"
done

empty=$work/empty
mkdir "$empty"
cd "$empty"
export XDG_DATA_HOME=$work/no-data XDG_DATA_DIRS=$prefix/share XDG_CONFIG_HOME=$work/config
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
"$prefix/bin/stagwerk" --check >check.out 2>check.err || fail "--check failed: $(cat check.err)"
grep -qF "using the installed demo $prefix/share/stagwerk/demo/defaultdemoconfig.txt" check.err ||
  fail "--check did not say where it found the demo: $(cat check.err)"
grep -q "Demo loads without errors" check.out || fail "--check: $(cat check.out)"

"$prefix/bin/stagwerk" --render finale --at 3 --size 160x120 --out still.png 2>render.err ||
  fail "--render failed: $(cat render.err)"
[ "$(head -c 8 still.png | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "--render wrote no PNG here"
[ "$(stat -c %s still.png)" -gt 1000 ] || fail "the still is too small to hold a picture"
ls "$prefix/share/stagwerk/demo" | grep -q still.png && fail "the still went into the installed demo"

# A folder with its own configuration is used as it always was.
echo "not a configuration" >defaultdemoconfig.txt
if "$prefix/bin/stagwerk" --check >own.out 2>own.err; then fail "a broken local configuration was passed over"; fi
grep -q "installed demo" own.err && fail "the installed demo was used although the folder has a configuration"
echo "install test: passed"
