#!/usr/bin/env bash
# The manual pages render without a single warning.
#   test_man_pages.sh PAGE...
set -euo pipefail
status=0
for page in "$@"; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || {
    echo "FAIL: man could not render $page" >&2
    status=1
  }
  if [ -n "$warnings" ]; then
    echo "FAIL: $page:" >&2
    echo "$warnings" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "man pages: OK"
exit $status
