#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks (as root), then configures,
# builds and installs each named configuration into build/<config>/install.
#
#   ./setup.sh [release] [asan]     (default: release)
set -euo pipefail
cd "$(dirname "$0")"

packages="g++ cmake ninja-build qtbase5-dev qttools5-dev-tools libgtest-dev libxml2-utils time libbenchmark-dev clang libclang-rt-14-dev libxml2-dev"
missing=""
for p in $packages; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi

configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=(release)
for config in "${configs[@]}"; do
  case "$config" in
    release) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    asan) flags=(-DCMAKE_BUILD_TYPE=Debug -DVELDORA_SANITIZE=ON) ;;
    *) echo "setup: unknown configuration $config" >&2; exit 2 ;;
  esac
  dir=build/$config
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
  fi
  cmake --build "$dir" -j 2
  cmake --install "$dir" --prefix "$dir/install" >/dev/null
done
