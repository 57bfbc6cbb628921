#!/usr/bin/env bash
# Stops the wine server and the private display of the end-to-end tests.
set -u
root=$1
source "$(dirname "$0")/../../tools/lib/display.sh"
wine_environment "$root/prefix"
wine_prefix_stop
display_stop "$root"
exit 0
