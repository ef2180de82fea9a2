#!/usr/bin/env bash
# Checks a desktop entry with desktop-file-validate and a Debian package with
# lintian (errors fail, warnings are shown). A tool that is not installed is
# skipped with a message. Used by tools/package.sh and the tests.
#   check-package.sh PACKAGE.deb ENTRY.desktop
set -uo pipefail
deb=$1; entry=$2
status=0
if command -v desktop-file-validate >/dev/null 2>&1; then
  if desktop-file-validate "$entry"; then
    echo "desktop-file-validate: $(basename "$entry") is valid"
  else
    echo "desktop-file-validate: errors in $entry"; status=1
  fi
else
  echo "SKIP: desktop-file-validate is not installed (package desktop-file-utils)"
fi
if command -v lintian >/dev/null 2>&1; then
  # lintian refuses to run as root unless told it may.
  if lintian --allow-root --fail-on error --display-info "$deb"; then
    echo "lintian: no errors in $(basename "$deb")"
  else
    echo "lintian: errors in $deb"; status=1
  fi
else
  echo "SKIP: lintian is not installed"
fi
exit $status
