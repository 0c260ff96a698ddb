#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages the build needs, only those still missing,
# without asking anything.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libgtest-dev libgmock-dev
          libbenchmark-dev nlohmann-json3-dev libx11-dev libxtst-dev libsqlite3-dev
          xvfb xauth poppler-utils desktop-file-utils appstream dpkg-dev file ccache
          postgresql libpq-dev clang libfuzzer-14-dev lintian)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    echo "Installing: ${missing[*]}"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq < /dev/null
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" < /dev/null
fi
