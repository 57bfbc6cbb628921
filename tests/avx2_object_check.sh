#!/usr/bin/env bash
# Fails when the AVX2 kernels' object defines a weak symbol (W or V in nm):
# an inline or template function of a header, the standard library's
# included, emitted out of line. The linker keeps one copy of such a symbol
# for the whole program, and it may keep this one: AVX2 code would then run
# outside the kernels, on CPUs without AVX2 too. Unoptimised builds emit them.
# Usage: avx2_object_check.sh NM OBJECT [TABLE]   (TABLE: Avx2Kernels unless given)
set -euo pipefail
nm_tool="$1"
object="$2"
table="${3:-Avx2Kernels}"
symbols="$("$nm_tool" -C --defined-only "$object")"
# The kernels' table must be there, or this is not the object meant.
grep -q " $table\$" <<<"$symbols" || { echo "no $table in $object"; exit 1; }
weak="$(awk '$2 == "W" || $2 == "V"' <<<"$symbols")"
if [ -n "$weak" ]; then
  echo "$object defines weak symbols:"
  echo "$weak"
  exit 1
fi
echo "no weak symbols in $(basename "$object")"
