#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and trying the configurator need.
# Run as root (or through sudo) on a fresh machine; already installed packages are kept.
set -euo pipefail

packages=(
    cmake g++ make
    qt6-base-dev qt6-serialport-dev qt6-serialbus-dev qt6-tools-dev
    qt6-l10n-tools qt6-translations-l10n  # lupdate and lrelease; Qt's own Russian texts
    socat            # virtual null-modem pairs for the simulator and the tests
    clang libclang-rt-14-dev  # the fuzz target (libFuzzer)
    fonts-dejavu-core
    xvfb xauth       # a virtual display where the machine has none
    dpkg-dev file    # the Debian package: dpkg-shlibdeps finds its dependencies
    desktop-file-utils appstream  # and its desktop entry and metainfo are checked
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
        || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
