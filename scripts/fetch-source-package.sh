#!/usr/bin/env bash
# Fetches the source of one Debian source package, by package name, into
# DEST/source (Debian's patches applied), unless it is there already. The
# source entry is derived from this machine's own apt sources, with a lists
# folder of its own, so the system's apt state is left as it was.
set -euo pipefail

package=${1:?usage: fetch-source-package.sh PACKAGE DEST}
dest=${2:?usage: fetch-source-package.sh PACKAGE DEST}
# Every unpacked Debian source package has its debian/ folder.
if [ -f "$dest/source/debian/control" ]; then
  exit 0
fi

sources=/etc/apt/sources.list.d/debian.sources
if [ ! -f "$sources" ]; then
  echo "fetch-source-package: $sources is missing; cannot derive a source entry" >&2
  exit 1
fi

mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
apt_dir="$dest/apt"
rm -rf "$apt_dir" "$dest/unpack"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/parts" "$apt_dir/cache/archives/partial" "$dest/unpack"
sed 's/^Types:.*/Types: deb-src/' "$sources" > "$apt_dir/parts/debian-src.sources"

apt_options=(
  -o "Dir::Etc::SourceList=/dev/null"
  -o "Dir::Etc::SourceParts=$apt_dir/parts"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  -o "APT::Sandbox::User=root"
)
apt-get -qq "${apt_options[@]}" update
(cd "$dest/unpack" && apt-get -qq "${apt_options[@]}" source "$package" >/dev/null)

unpacked=$(find "$dest/unpack" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1)
if [ -z "$unpacked" ] || [ ! -f "$unpacked/debian/control" ]; then
  echo "fetch-source-package: the $package source package did not unpack" >&2
  exit 1
fi
rm -rf "$dest/source"
mv "$unpacked" "$dest/source"
rm -rf "$dest/unpack" "$apt_dir"
echo "fetch-source-package: $(basename "$unpacked") in $dest/source"
