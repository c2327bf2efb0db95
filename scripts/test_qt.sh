#!/bin/sh
# Builds the Qt desktop window and runs its tests on an offscreen display.
set -eu
cd "$(dirname "$0")/.."
cmake --preset qt
cmake --build --preset qt -j2 --target qz_qt_tests qz-board qz-uploader
export QT_QPA_PLATFORM=offscreen
XDG_CONFIG_HOME="$(mktemp -d)"
export XDG_CONFIG_HOME
ctest --test-dir build/qt -R qz_qt_tests --output-on-failure --timeout 120
