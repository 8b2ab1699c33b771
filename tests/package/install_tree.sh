#!/usr/bin/env bash
# Installs the build with prefix /usr into TREE and compares the files it put down with the list
# of what may be installed: no test, benchmark, library or header gets into an install.
# usage: install_tree.sh BUILD_DIR TREE EXPECTED_LIST
set -euo pipefail
build=$1 tree=$2 expected=$3
rm -rf "$tree"
DESTDIR="$tree" cmake --install "$build" --prefix /usr >/dev/null
actual=$(cd "$tree" && find . ! -type d | sed 's|^\.||' | LC_ALL=C sort)
if ! diff -u "$expected" <(printf '%s\n' "$actual"); then
  echo "the install does not hold exactly the expected files (- expected, + installed)" >&2
  exit 1
fi
echo "install tree as expected: $(printf '%s\n' "$actual" | wc -l) files"
