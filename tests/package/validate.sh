#!/usr/bin/env bash
# Runs a desktop validator over the installed desktop data. A validator that is not installed is
# reported as SKIP (scripts/setup installs both).
# usage: validate.sh desktop|appstream TREE APP_ID
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
*)
  echo "usage: validate.sh desktop|appstream TREE APP_ID" >&2
  exit 2
  ;;
esac
