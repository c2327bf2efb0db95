#!/bin/sh
# Builds the Qt desktop window and runs its tests on a headless X server (Xvfb), or on Qt's
# offscreen platform where no X server can be started.
set -eu
cd "$(dirname "$0")/.."
cmake --preset qt >/dev/null
cmake --build --preset qt -j"$(nproc)" --target qz_qt_tests qz-board qz-uploader
XDG_CONFIG_HOME="$(mktemp -d)"
export XDG_CONFIG_HOME
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1024x768x24" \
    ctest --test-dir build/qt -R qz_qt_tests --output-on-failure --timeout 180
else
  QT_QPA_PLATFORM=offscreen ctest --test-dir build/qt -R qz_qt_tests --output-on-failure \
    --timeout 180
fi
rm -rf "$XDG_CONFIG_HOME"
