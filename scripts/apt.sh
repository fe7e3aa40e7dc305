#!/usr/bin/env bash
# Installing Debian's packages on a machine whose package mirror may be
# mid-sync. Source this file, then:
#   vbc_apt_install WHO PACKAGES...   updates the package lists and installs
# An update that fails on some index (a list the install may not even need,
# such as another architecture's security list with the wrong size) does not
# stop it: it says so in one line, tries once more after a pause, and goes
# on with the lists it has. Only a failed install stops it, with one line
# that names the mirror as the likely cause and where apt's own words are.
# WHO prefixes the lines. Runs apt-get as root, through sudo where the
# caller is not root. A caller that installs into another Debian (the Debian
# 13 root of scripts/wine-root) redefines vbc_apt_get after sourcing this
# file and sets vbc_apt_release to that Debian's release.

# apt-get ARGUMENTS..., as root.
vbc_apt_get() {
  if [ "$(id -u)" -eq 0 ]; then apt-get "$@"; else sudo apt-get "$@"; fi
}
# The release whose own suite the install falls back to (see below).
vbc_apt_release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")

vbc_apt_install() {
  local who=$1 log updated=1 release=$vbc_apt_release
  shift
  log=$(mktemp "${TMPDIR:-/tmp}/vbc-apt-XXXXXX.log")
  if ! vbc_apt_get update -qq >"$log" 2>&1; then
    echo "$who: apt-get update failed on some index ($(grep -m1 '^E:' "$log" | cut -c4-150)); trying once more in 15 s" >&2
    sleep 15
    if ! vbc_apt_get update -qq >"$log" 2>&1; then
      updated=0
      echo "$who: apt-get update failed again; going on with the package lists there are" >&2
    fi
  fi
  local install=(install -y -qq --no-install-recommends)
  if DEBIAN_FRONTEND=noninteractive vbc_apt_get "${install[@]}" "$@" >>"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  # Without one architecture's list of the security suite, that suite's
  # newer versions exist for one architecture only, and a package wanted for
  # both (Multi-Arch: same) cannot be matched. The release's own suite has
  # every architecture whole: preferring it matches them.
  if [ "$updated" = 0 ] && [ -n "$release" ]; then
    echo "$who: the install failed with lists missing; trying again preferring $release's own suite" >&2
    if DEBIAN_FRONTEND=noninteractive vbc_apt_get "${install[@]}" -t "$release" "$@" >>"$log" 2>&1; then
      rm -f "$log"
      return 0
    fi
  fi
  echo "$who: installing packages failed: the package mirror in the apt sources is likely mid-sync or out of reach; try again in a few minutes (apt's words: $log)" >&2
  return 1
}

# Run rather than sourced: there is nothing to do but say so.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  echo "$(basename "$0"): source this file from a script; it is no command" >&2
  exit 2
fi
