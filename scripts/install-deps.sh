#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the test suite need and this
# machine lacks: the mingw-w64 cross compiler (POSIX threads) and windres,
# Wine, Xvfb, CMake, Debian's GoogleTest sources, ImageMagick, what
# fetching Debian's source packages of SQLite, LevelDB and Snappy and
# generating SQLite's amalgamation takes (dpkg-source unpacks them, xz their
# Debian parts, tclsh the amalgamation; the sources themselves are fetched
# into the build folder by scripts/fetch-source-package.sh),
# wixl with msitools for the installer package, and clang with its libFuzzer
# runtime for fuzzing the parsers natively.
set -euo pipefail

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v x86_64-w64-mingw32-windres  >/dev/null || need+=(binutils-mingw-w64-x86-64)
command -v wine      >/dev/null || need+=(wine)
[ -x /usr/lib/wine/wine64 ]     || need+=(wine64)
command -v xvfb-run  >/dev/null || need+=(xvfb)
command -v cmake     >/dev/null || need+=(cmake)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v import    >/dev/null || need+=(imagemagick)
command -v tclsh     >/dev/null || need+=(tcl)
command -v dpkg-source >/dev/null || need+=(dpkg-dev)
command -v gcc       >/dev/null || need+=(gcc)
command -v make      >/dev/null || need+=(make)
command -v xz        >/dev/null || need+=(xz-utils)
command -v wixl      >/dev/null || need+=(wixl)
command -v msiinfo   >/dev/null || need+=(msitools)
command -v md5sum    >/dev/null || need+=(coreutils)
command -v clang++   >/dev/null || need+=(clang)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)


if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${need[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root (apt-get) or install these packages first: ${need[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}" wine64 >/dev/null
