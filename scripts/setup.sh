#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine (as root, or with sudo).
# `scripts/setup.sh demo` installs only what the headless demo needs: a compiler and CMake.
set -euo pipefail
packages=(cmake make g++)
if [ "${1:-}" != "demo" ]; then
  packages+=(clang libclang-rt-14-dev libgtest-dev libgmock-dev libssl-dev lrzsz clang-format
             # the Windows build and its tests under Wine, headless
             g++-mingw-w64-x86-64 wine wine64 fonts-wine xvfb xauth xdotool x11-utils imagemagick
             # the Linux desktop front end
             qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core
             # the Debian package: its library dependencies are read by dpkg-shlibdeps
             dpkg-dev file)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
