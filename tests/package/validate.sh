#!/usr/bin/env bash
# Runs a desktop validator over the installed desktop data. A validator that is not installed is
# reported as SKIP (scripts/setup installs both).
# The manual page and the copyright file are checked here too.
# usage: validate.sh desktop|appstream|man|copyright TREE APP_ID
set -euo pipefail
kind=$1 tree=$2 id=$3
share=$tree/usr/share
case $kind in
desktop)
  command -v desktop-file-validate >/dev/null || { echo "SKIP: desktop-file-validate is not installed"; exit 0; }
  out=$(desktop-file-validate "$share/applications/linkwell.desktop" 2>&1) || { echo "$out"; exit 1; }
  echo "$out"
  # A hint fails too: two main categories, say, would list the program twice in a menu.
  if grep -qE '(error|warning|hint):' <<<"$out"; then exit 1; fi
  ;;
appstream)
  command -v appstreamcli >/dev/null || { echo "SKIP: appstreamcli is not installed"; exit 0; }
  # The file on its own, where even a pedantic hint fails; then the tree, where
  # the desktop entry and the icon named by the metainfo must be found.
  out=$(appstreamcli validate --no-net --strict --pedantic "$share/metainfo/$id.metainfo.xml" 2>&1) || {
    echo "$out"
    exit 1
  }
  echo "$out"
  if grep -q '^P:' <<<"$out"; then exit 1; fi
  appstreamcli validate-tree --no-net --strict "$tree"
  ;;
man)
  # Made from --help: the synopsis names the address, and man can lay it out without a warning.
  page=$share/man/man1/linkwell.1.gz
  zcat "$page" | grep -q '^\.TH LINKWELL "1"'
  zcat "$page" | grep -q 'ADDRESS'
  out=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || true
  if [ -n "$out" ]; then echo "$out"; exit 1; fi
  ;;
copyright)
  # Debian's machine-readable format: the header, and a license every file is under.
  f=$share/doc/linkwell/copyright
  head -1 "$f" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/'
  grep -qx 'Files: \*' "$f"
  grep -qx 'License: GPL-3.0-or-later' "$f"
  ;;
*)
  echo "usage: validate.sh desktop|appstream|man|copyright TREE APP_ID" >&2
  exit 2
  ;;
esac
