#!/usr/bin/env bash
# The two packages the installer's tests install, built by the release
# script from this build's program folder: the program's own version, and
# the same files as a newer release (build number one higher) to upgrade to.
#   scripts/build-test-packages.sh BUILD
set -euo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")/.." && pwd)"
number() { sed -n "s/^#define TW_VERSION_$1 \([0-9]*\)$/\1/p" "$here/common/version.h"; }
current="$(number MAJOR).$(number MINOR).$(number BUILD).$(number REVISION)"
newer="$(number MAJOR).$(number MINOR).$(($(number BUILD) + 1)).$(number REVISION)"
out="$build/tests/packages"
mkdir -p "$out"
"$here/scripts/build-package.sh" "$build" "$current" "$out/Tidewhistle-current.msi"
"$here/scripts/build-package.sh" "$build" "$newer" "$out/Tidewhistle-newer.msi"
