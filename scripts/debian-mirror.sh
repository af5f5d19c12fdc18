#!/usr/bin/env bash
# Prints the Debian 12 (bookworm) mirror this machine's apt already uses, so
# that a fresh system is made from the same place and no address is written
# into our scripts. Reads the deb822 files (sources.list.d/*.sources) and the
# one-line ones (sources.list, sources.list.d/*.list); the first enabled
# "deb" source of suite bookworm with component main wins.
#   scripts/debian-mirror.sh          APT_ETC overrides /etc/apt (for tests)
set -euo pipefail
etc=${APT_ETC:-/etc/apt}
suite=bookworm

files=()
for f in "$etc"/sources.list.d/*.sources "$etc"/sources.list "$etc"/sources.list.d/*.list; do
  [ -f "$f" ] && files+=("$f")
done

# deb822: stanzas split by blank lines; a field may go on over lines that
# start with a space. Only fields on their own are read, so comments count not.
from_deb822() {
  awk -v suite="$suite" '
    function has(list, word,   n, i, parts) {
      n = split(list, parts, /[ \t]+/)
      for (i = 1; i <= n; ++i) if (parts[i] == word) return 1
      return 0
    }
    function stanza_end() {
      if (!done && has(f["types"], "deb") && has(f["suites"], suite) && has(f["components"], "main") &&
          tolower(f["enabled"]) != "no") {
        split(f["uris"], uris, /[ \t]+/)
        for (i = 1; i in uris; ++i) if (uris[i] ~ /^(https?|file):/) { print uris[i]; done = 1; break }
      }
      delete f; last = ""
    }
    /^#/ { next }
    /^[ \t]*$/ { stanza_end(); next }
    /^[ \t]/ { if (last != "") f[last] = f[last] " " $0; next }
    {
      name = tolower(substr($0, 1, index($0, ":") - 1))
      value = substr($0, index($0, ":") + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", value)
      f[name] = value; last = name
    }
    END { stanza_end() }
  ' "$@"
}

# One line: deb [options] URI suite component...
from_one_line() {
  awk -v suite="$suite" '
    $1 != "deb" { next }
    {
      line = $0
      sub(/^deb[ \t]+/, "", line)
      if (line ~ /^\[/) sub(/^\[[^]]*\][ \t]*/, "", line)
      n = split(line, w, /[ \t]+/)
      if (n < 3 || w[2] != suite || w[1] !~ /^(https?|file):/) next
      for (i = 3; i <= n; ++i) if (w[i] == "main") { print w[1]; exit }
    }
  ' "$@"
}

mirror=""
for f in "${files[@]}"; do
  case "$f" in
    *.sources) mirror=$(from_deb822 "$f" | head -n 1) ;;
    *) mirror=$(from_one_line "$f" | head -n 1) ;;
  esac
  [ -n "$mirror" ] && break
done

if [ -z "$mirror" ]; then
  echo "debian-mirror: no enabled 'deb' source for $suite main in" \
    "$etc/sources.list.d/*.sources, $etc/sources.list or $etc/sources.list.d/*.list" \
    "(looked at: ${files[*]:-no such files})" >&2
  exit 1
fi
echo "$mirror"
