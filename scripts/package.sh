#!/usr/bin/env bash
# Builds the packages into build/packages/: the Debian package of the Linux programs (an
# optimised build with the Qt window) and, with --windows, the zip of the Windows programs
# (cross-built with MinGW-w64). Prints the paths of what it made.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
out=$PWD/build/packages
mkdir -p "$out"

cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DQZ_QT=ON -DQZ_TESTS=OFF \
  -DQZ_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build/package -j"$(nproc)" --target qz-upload qz-upload-manual qz-uploader
(cd build/package && cpack -G DEB -B "$out" >/dev/null)
ls "$out"/qz-uploader_*.deb

if [ "${1:-}" = "--windows" ]; then
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j"$(nproc)" --target qz-upload qz-uploader
  (cd build/win32 && cpack -G ZIP -B "$out" >/dev/null)
  ls "$out"/qz-uploader-*-windows-x64.zip
fi
