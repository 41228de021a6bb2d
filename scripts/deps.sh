#!/bin/sh
# Installs the Debian packages the build and tests need. As root it runs
# apt-get for whatever is missing; otherwise it prints the install line.
set -eu

PACKAGES="g++ make cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libsqlite3-dev libpng-dev libjpeg62-turbo-dev
  clang libclang-rt-14-dev
  qt6-base-dev libgl-dev fonts-wqy-microhei
  libgstreamer1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  espeak-ng unicode-data bzip2
  python3 python3-xlrd unrtf libfreetype-dev"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
else
  echo "Missing Debian packages. Install them with:" >&2
  echo "  sudo apt-get install -y --no-install-recommends$missing" >&2
  exit 1
fi
