#!/bin/sh
# Builds the Qt desktop window and runs its tests, in a debug build and again under
# AddressSanitizer and UndefinedBehaviorSanitizer, on a headless X server (Xvfb), or on
# Qt's offscreen platform where no X server can be started.
set -eu
cd "$(dirname "$0")/.."
XDG_CONFIG_HOME="$(mktemp -d)"
LSAN_OPTIONS="suppressions=$PWD/tests/qt/lsan.supp"
export XDG_CONFIG_HOME LSAN_OPTIONS
for preset in qt qt-asan; do
  echo "-- $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)" --target qz_qt_tests qz-board qz-uploader
  if command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1024x768x24" \
      ctest --test-dir "build/$preset" -R qz_qt_tests --output-on-failure --timeout 180
  else
    QT_QPA_PLATFORM=offscreen ctest --test-dir "build/$preset" -R qz_qt_tests \
      --output-on-failure --timeout 180
  fi
done
rm -rf "$XDG_CONFIG_HOME"
