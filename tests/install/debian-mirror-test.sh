#!/usr/bin/env bash
# scripts/debian-mirror.sh on apt configurations made up here: it must take
# the bookworm "deb" source with main from either format, pass over sources
# that are off, for sources or for another suite, and fail naming the files.
set -euo pipefail
lookup=$(dirname "$0")/../../scripts/debian-mirror.sh
etc=$(mktemp -d)
trap 'rm -rf "$etc"' EXIT
mkdir "$etc/sources.list.d"
fail() { echo "debian-mirror test: $*" >&2; exit 1; }
expect() { got=$(APT_ETC=$etc "$lookup") || fail "no mirror found where $1 was expected"; [ "$got" = "$1" ] || fail "found $got, expected $1"; }

if APT_ETC=$etc "$lookup" 2>"$etc/err"; then fail "found a mirror with no sources"; fi
grep -qF "$etc/sources.list.d/*.sources" "$etc/err" || fail "the failure does not name where it looked: $(cat "$etc/err")"

cat >"$etc/sources.list.d/others.sources" <<'EOF'
Types: deb
URIs: file:/mirrors/security
Suites: bookworm-security
Components: main

Types: deb-src
URIs: file:/mirrors/source
Suites: bookworm
Components: main

Enabled: no
Types: deb
URIs: file:/mirrors/off
Suites: bookworm
Components: main
EOF
echo 'deb [arch=amd64 signed-by=/k.gpg] http://127.0.0.1/one-line bookworm contrib main' >"$etc/sources.list"
expect http://127.0.0.1/one-line

cat >"$etc/sources.list.d/debian.sources" <<'EOF'
Types: deb
# a comment inside the stanza
URIs:
 cdrom:/media
 file:/mirrors/deb822
Suites: bookworm bookworm-updates
Components: main
EOF
expect file:/mirrors/deb822
echo "debian-mirror test: passed"
