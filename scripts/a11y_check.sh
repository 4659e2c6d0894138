#!/usr/bin/env bash
# Starts the window on a few sample photos under Xvfb with its own D-Bus
# session and accessibility bus, and prints the tree a screen reader sees
# (AT-SPI). Exit status 1 when a control has no name.
# Needs xvfb, dbus, at-spi2-core and gir1.2-atspi-2.0 (not installed by
# install-deps.sh: a developer's check, not part of the suite).
#   scripts/a11y_check.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
root=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/photos" "$work/home"
"$build/quill-make-samples" "$work/photos" 3 320 240 >/dev/null
cat >"$work/session.sh" <<INNER
#!/bin/bash
/usr/libexec/at-spi-bus-launcher --launch-immediately & bus=\$!
sleep 2
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    "$build/quillmark" "$work/photos" & app=\$!
sleep 8
/usr/bin/python3 "$root/scripts/a11y_tree.py" Quillmark; rc=\$?
kill \$app; wait \$app 2>/dev/null
kill \$bus
exit \$rc
INNER
chmod +x "$work/session.sh"
xvfb-run -a -s "-screen 0 1600x1000x24" dbus-run-session "$work/session.sh" 2>/dev/null
