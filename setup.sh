#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks (as root), then configures,
# builds and installs each named configuration into build/<config>/install.
#
#   ./setup.sh [--tests] [--fuzz] [--browser] [release] [asan]
#
# Packages come in tiers, so that each command installs only what it uses:
#   build    always: compiler, CMake, Ninja, Qt Core and its translation tools, zlib,
#            SQLite and libpq (the run history of veldora-export, in a file or on a server)
#   tests    --tests (implied by asan): GoogleTest, xmllint, time, Google Benchmark,
#            the PostgreSQL server (the history tests start one of their own),
#            locales (with de_DE.ISO-8859-1 generated), junitparser and YAML for
#            Python (the CI export tests), Node.js with npm, git, rsync and
#            gitlab-ci-local from npm (the README's GitLab jobs, tests/export/ci/gitlab)
#   fuzz     --fuzz: clang with its fuzzer and sanitizer runtime, libxml2
#   browser  --browser: Node.js with npm, Chromium, and playwright-core from npm
#            for the browser test (tests/export/browser)
# Without --tests a configuration builds the programs only. Every call
# configures again, so changed options and CMake files always take effect.
set -euo pipefail
cd "$(dirname "$0")"

tier_build="g++ cmake ninja-build qtbase5-dev qttools5-dev-tools zlib1g-dev libsqlite3-dev libpq-dev libssl-dev"
tier_tests="libgtest-dev libxml2-utils time libbenchmark-dev postgresql locales python3-junitparser python3-yaml git rsync"
tier_fuzz="clang libclang-rt-dev libxml2-dev"
tier_browser="chromium"

tests=0
fuzz=0
browser=0
configs=()
for arg in "$@"; do
  case "$arg" in
    --tests) tests=1 ;;
    --fuzz) fuzz=1 ;;
    --browser) browser=1 ;;
    release|asan) configs+=("$arg") ;;
    *) echo "setup: unknown argument $arg" >&2; exit 2 ;;
  esac
done
[ ${#configs[@]} -gt 0 ] || configs=(release)
for config in "${configs[@]}"; do
  [ "$config" != asan ] || tests=1
done

packages=$tier_build
[ $tests = 0 ] || packages="$packages $tier_tests"
[ $fuzz = 0 ] || packages="$packages $tier_fuzz"
[ $browser = 0 ] || packages="$packages $tier_browser"
if [ $tests = 1 ] || [ $browser = 1 ]; then
  # A Node.js from elsewhere may already be there; Debian's npm would fight it.
  command -v node >/dev/null 2>&1 || packages="$packages nodejs"
  command -v npm >/dev/null 2>&1 || packages="$packages npm"
fi
missing=""
for p in $packages; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi

# The tests run the program in an 8-bit locale; localedef adds just that one
# to the locale archive (locale -a lists it as de_DE.iso88591).
if [ $tests = 1 ] && ! locale -a 2>/dev/null | grep -qx 'de_DE.iso88591'; then
  echo "setup: generating the locale de_DE.ISO-8859-1"
  localedef -i de_DE -c -f ISO-8859-1 de_DE.ISO-8859-1
fi

# Node packages pinned by their lock files: gitlab-ci-local for the tests,
# the browser test's driver (it downloads no browser).
npm_install() { (cd "$1" && npm ci --prefer-offline --no-audit --no-fund >/dev/null); }
[ $tests = 0 ] || npm_install tests/export/ci/gitlab
[ $browser = 0 ] || npm_install tests/export/browser

test_flag=-DVELDORA_TESTS=$([ $tests = 1 ] && echo ON || echo OFF)
for config in "${configs[@]}"; do
  case "$config" in
    release) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDORA_SANITIZE=OFF) ;;
    asan) flags=(-DCMAKE_BUILD_TYPE=Debug -DVELDORA_SANITIZE=ON) ;;
  esac
  dir=build/$config
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" "$test_flag" >/dev/null
  cmake --build "$dir" -j 2
  cmake --install "$dir" --prefix "$dir/install" >/dev/null
done
