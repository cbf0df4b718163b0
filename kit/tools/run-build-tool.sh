#!/bin/bash
# Runs a Windows program of the build through the emulator (Wine) with only stdin, stdout and
# stderr open. Wine's server and system processes, started by the first Wine program, stay up
# after it and would otherwise keep every inherited descriptor open: the build lock of
# scripts/build.sh and make's job-server pipe among them.
#   run-build-tool.sh EMULATOR... PROGRAM.exe [args...]
set -eu
for fd in /proc/$$/fd/*; do
    n=${fd##*/}
    if [ "$n" -gt 2 ]; then eval "exec $n>&-" 2>/dev/null || true; fi
done
exec "$@"
