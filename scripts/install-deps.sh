#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the GUI need; only
# what is missing, so a second run costs nothing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libjpeg62-turbo-dev libpng-dev libgif-dev zlib1g-dev
  libgtest-dev libbenchmark-dev
  libjpeg-turbo-progs        # jpegtran/djpeg/cjpeg: test oracles
  imagemagick                # identify: oracle of the IJG quality estimate
  fonts-ipafont-gothic       # Japanese UI text
  qt6-translations-l10n      # Japanese texts of Qt's own dialogs
  xvfb x11-apps              # GUI under a virtual display, screenshots
  desktop-file-utils appstream  # validators of the installed menu entry and metadata
  dpkg-dev file              # dpkg-shlibdeps for the Debian package (scripts/package.sh)
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
