#!/usr/bin/env bash
# Runs one Windows program in the prepared prefix; its exit code is ours.
source "$(dirname "$0")/lib.sh"
"$WINE" "$@"
