#!/usr/bin/env bash
# Builds the Debian package from a release build of its own (build-package/, without the
# tests and the simulator) and prints the path of the .deb, which lands in dist/.
# Installs the build dependencies first, as the other scripts do (root or sudo).
#
#   bash scripts/make-package.sh
#   sudo apt-get install ./dist/tavrolix-configurator_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=build-package
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVROLIX_BUILD_TESTS=OFF \
      -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$(nproc)"
mkdir -p dist
(cd "$build" && cpack -B "$PWD/../dist" >/dev/null)
rm -rf dist/_CPack_Packages
ls -1 "$PWD"/dist/tavrolix-configurator_*.deb
