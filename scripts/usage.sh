#!/usr/bin/env bash
# What the scripts share for their command line: each script's usage is its
# leading comment block, printed as it stands. Source this file, then:
#   vbc_help_if_asked "$@"         answers -h or --help as the first argument:
#                                  the usage on stdout, exit 0
#   vbc_usage_error [MESSAGE...]   the message and the usage on stderr, exit 2
#   vbc_usage                      prints the running script's usage
# Source it before changing folder: it notes where the running script lies.

vbc_usage_script="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"

# The comment lines at the top of the running script (after "#!"), without
# their "# ".
vbc_usage() {
  awk 'NR == 1 && /^#!/ { next } /^#/ { sub(/^# ?/, ""); print; next } { exit }' \
    "$vbc_usage_script"
}

vbc_help_if_asked() {
  case "${1:-}" in
    -h | --help) vbc_usage; exit 0 ;;
  esac
}

vbc_usage_error() {
  [ $# -eq 0 ] || echo "$(basename "$0"): $*" >&2
  vbc_usage >&2
  exit 2
}

# Run rather than sourced: there is nothing to do but say so.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  vbc_help_if_asked "$@"
  vbc_usage_error "source this file from a script; it is no command"
fi
