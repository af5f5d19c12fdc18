#!/usr/bin/env bash
# Installs the package built by check-deb.sh into a fresh Debian 12 (a
# minimal debootstrap, kept under /var/cache between runs) and plays the
# installed demo from an empty home folder with no display: --check, a still
# from each back end, and a short capture. Needs root, and the Debian 12
# mirror this machine's apt uses (scripts/debian-mirror.sh finds it).
set -euo pipefail
build=${1:-build}
fail() { echo "check-deb-clean: $*" >&2; exit 1; }
deb=$(ls "$build"/stagwerk_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no package in $build; run scripts/check-deb.sh first"

base=/var/cache/stagwerk-check/bookworm
if [ ! -f "$base/.complete" ]; then
  mirror=$("$(dirname "$0")/debian-mirror.sh") || fail "cannot make a fresh Debian 12 without a mirror"
  echo "check-deb-clean: making a minimal Debian 12 from $mirror"
  command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
  rm -rf "$base"
  mkdir -p "$base"
  debootstrap --variant=minbase bookworm "$base" "$mirror" >"$base.log" 2>&1 ||
    { tail -n 20 "$base.log" >&2; fail "debootstrap from $mirror failed (the whole log: $base.log)"; }
  touch "$base/.complete"
fi

# Each run installs into a copy, so the package meets a system that has
# never seen it.
root=$(mktemp -d /var/tmp/stagwerk-clean.XXXXXX)
cleanup() { umount "$root/proc" 2>/dev/null || true; rm -rf "$root"; }
trap cleanup EXIT
cp -a "$base/." "$root/"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/stagwerk.deb"
chroot "$root" bash -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/stagwerk.deb >/tmp/install.log 2>&1' ||
  { cat "$root/tmp/install.log" >&2; fail "the package does not install"; }
chroot "$root" bash -c 'useradd -m player && su player -c "cd ~ && export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy &&
  stagwerk --check >/dev/null &&
  stagwerk --render finale --at 3 --size 160x120 --out fixed.png &&
  stagwerk --renderer shader --render finale --at 3 --size 160x120 --out shader.png &&
  stagwerk --capture frames --fps 2 --from 40 --to 41 --size 160x120 &&
  ls frames | grep -c png"' >"$root/tmp/run.log" 2>&1 || { cat "$root/tmp/run.log" >&2; fail "the installed player does not run"; }
[ -s "$root/home/player/fixed.png" ] && [ -s "$root/home/player/shader.png" ] || fail "no stills written"
echo "check-deb-clean: $(basename "$deb") installs on a fresh Debian 12 and plays from an empty folder"
