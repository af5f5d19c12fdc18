#!/usr/bin/env bash
# Serves build-web/ (scripts/build-web.sh) on 127.0.0.1 and prints the
# address. A page's .wasm does not load from file://, so open it over http.
#   scripts/serve-web.sh [PORT]      default 8080
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8080}
[ -f build-web/index.html ] || { echo "serve-web: no build-web/index.html; run scripts/build-web.sh first" >&2; exit 1; }
echo "Stagwerk: http://127.0.0.1:$port/  (another demo folder copied into build-web/: ?config=FOLDER/)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build-web
