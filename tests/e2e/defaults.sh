# The built-in settings as `reg query` shows them, from the one list of the
# stored defaults (tests/data/default_settings.txt). Sourced after lib.sh.
DEFAULTS_FILE="${E2E_SOURCE:?E2E_SOURCE must name the source tree}/tests/data/default_settings.txt"

# The value names, in the order of writing.
default_names() { awk '!/^#/ && NF { print $1 }' "$DEFAULTS_FILE"; }
# How many values a first start writes.
default_count() { default_names | wc -l; }
# The values of the first release; those after them were added later, and a
# key an older version wrote lacks them.
ORIGINAL_VALUES=20

# How the value named $1 is stored: dword, binary or string.
default_type() { awk -v n="$1" '!/^#/ && $1 == n { print $2 }' "$DEFAULTS_FILE"; }

# "REG_DWORD 0xbb8", "REG_BINARY 0100..." or "REG_SZ text" for the value
# named $1.
default_value() {
  local name type bytes
  read -r name type bytes < <(awk -v n="$1" '!/^#/ && $1 == n' "$DEFAULTS_FILE")
  [ -n "${name:-}" ] || fail "no default named $1"
  if [ "$type" = dword ]; then
    # Little-endian bytes to the number reg shows.
    printf 'REG_DWORD 0x%x\n' "0x${bytes:6:2}${bytes:4:2}${bytes:2:2}${bytes:0:2}"
  elif [ "$type" = string ]; then
    # The text before its terminator.
    # shellcheck disable=SC2059
    echo "REG_SZ $(printf "$(sed 's/../\\x&/g' <<<"${bytes%00}")")"
  else
    echo "REG_BINARY ${bytes^^}"
  fi
}

# Fails unless every value under the settings key but those named in $@
# holds its default.
expect_defaults_but() {
  local name got
  for name in $(default_names); do
    [[ " $* " == *" $name "* ]] && continue
    got=$(reg_value "$SAVER_KEY" "$name")
    [ "$got" = "$(default_value "$name")" ] || fail "$name is \"$got\", expected the default $(default_value "$name")"
  done
}
