#!/usr/bin/env bash
# The layer check catches forbidden includes: run on a small tree with one in app/ and one in
# display/, it fails and names both; told that display's is known, it still fails for app's.
set -uo pipefail
here=$(dirname "$0")
fixture=$here/fixture
status=0

expect() {
  local what=$1 wanted_rc=$2 wanted=$3
  shift 3
  local output rc
  output=$("$here/check_layers.sh" "$fixture" "$@")
  rc=$?
  if [ $rc -ne "$wanted_rc" ] || [ "$output" != "$wanted" ]; then
    printf '%s: exit status %s, wanted %s; output:\n%s\nwanted:\n%s\n' "$what" $rc "$wanted_rc" "$output" "$wanted"
    status=1
  fi
}

expect "both forbidden includes" 1 "app/dialog.cpp:4: app/ includes desktop/
display/library.cpp:3: display/ includes machine/
2 include(s) cross the layers"

expect "display's include known" 1 "app/dialog.cpp:4: app/ includes desktop/
known: display/library.cpp:3: display/ includes machine/
1 include(s) cross the layers" --known display:machine

exit $status
