#!/usr/bin/env bash
# Runs the end-to-end driver with its standard error in a file. The programs
# it starts inherit that stream, and Wine's relay trace of their TextOutW
# calls lands there: the activity log is a picture, and this is how the
# driver reads it. Used by CTest in place of scripts/wine-run.sh.
trace=$(mktemp "${TMPDIR:-/tmp}/keepfresh-e2e-trace.XXXXXX")
export KEEPFRESH_E2E_TRACE=$trace
"$(dirname "$0")/../scripts/wine-run.sh" "$@" 2>"$trace"
status=$?
if [ $status -eq 0 ]; then
  rm -f "$trace"
else
  echo "e2e: the relay trace and Wine's messages are in $trace" >&2
fi
exit $status
