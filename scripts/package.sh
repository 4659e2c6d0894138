#!/usr/bin/env bash
# Builds the Debian package with CPack (build/quillmark_<version>_<arch>.deb)
# and shows its control data. With --try (as root) it then installs the
# package with apt, starts the installed program as the user nobody (--help
# without a display, then a real start on a sample folder under its own Xvfb,
# a screenshot, SIGTERM), checks that the settings went to that user's
# configuration folder and not beside /usr/bin/quillmark, and removes the
# package again.
#   scripts/package.sh [--try]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
(cd build && cpack -G DEB >/dev/null)
deb=$(ls -t build/quillmark_*.deb | head -n 1)
echo "== $deb"
dpkg-deb -I "$deb"
dpkg-deb -c "$deb" | awk '{print $6}'
[ "${1:-}" = "--try" ] || exit 0

[ "$(id -u)" = 0 ] || { echo "--try installs a package: run as root" >&2; exit 2; }
work=$(mktemp -d /tmp/quill-package.XXXXXX)
chmod 755 "$work"
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== apt install ./$deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb" | tail -n 3
command -v quillmark quillmark-cli
quillmark-cli --version
man -w quillmark quillmark-cli

mkdir -p "$work/config" "$work/run" "$work/home"
chown nobody "$work/config" "$work/run" "$work/home"
chmod 700 "$work/run"
build/quill-make-samples "$work/samples" 12 >/dev/null
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups
           env HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run")

echo "== quillmark --help (no display)"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${as_nobody[@]}" quillmark --help

echo "== quillmark on $work/samples"
Xvfb -displayfd 4 -screen 0 1280x800x24 -nolisten tcp -ac 4>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb"
  sleep 0.2
done
export DISPLAY=":$(head -n 1 "$work/display")"
"${as_nobody[@]}" DISPLAY="$DISPLAY" quillmark "$work/samples" &
app=$!
sleep 4
xwd -root -silent | convert xwd:- build/package-start.png
echo "screenshot: build/package-start.png"
kill -TERM "$app"
wait "$app" && echo "quillmark ended normally on SIGTERM"
ls -l "$work/config/quillmark/status.ini"
[ ! -e /usr/bin/status.ini ] || { echo "status.ini written beside /usr/bin/quillmark" >&2; exit 1; }

echo "== apt remove quillmark"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -q quillmark | tail -n 2
[ ! -e /usr/bin/quillmark ] && echo "removed"
