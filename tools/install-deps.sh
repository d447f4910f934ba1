#!/bin/sh
# Installs, from Debian's packages, whatever the build, the program and the
# tests need and is not there yet. Runs as root, or through sudo.
set -e
PKGS="g++ cmake ninja-build qt6-base-dev qt6-multimedia-dev libgl-dev \
      libqt6multimedia6 gstreamer1.0-plugins-base gstreamer1.0-plugins-good \
      fonts-dejavu-core qt6-translations-l10n"
missing=""
for p in $PKGS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi
echo "installing:$missing"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
