#!/usr/bin/env bash
# The compiler cache (ccache) for the builds the scripts make. Source this
# file, then call vbc_compiler_cache. It exports what every build below the
# caller then shares, the Debian 13 root's builds included (they inherit the
# environment, and the root has the cache folder bound in):
#   CMAKE_C_COMPILER_LAUNCHER, CMAKE_CXX_COMPILER_LAUNCHER  ccache; CMake reads
#       them when it first configures a build folder, and the presets pass
#       them on at every configure, so older build folders take them up too
#   CCACHE_DIR       the project's cache folder's ccache/
#   CCACHE_BASEDIR   this checkout: paths below it are hashed as relative
#                    paths, so a clone at another path hits the same entries
#   CCACHE_NOHASHDIR the working folder is left out of the hash, also where
#                    debug information would name it
# A hit gives back the bytes the compiler gave for the same preprocessed
# source and options; the release, whose objects hold no path and no time,
# comes out the same with the cache as without (tests/release checks the
# bytes from two paths). Where ccache is missing, nothing is exported.
# VBC_CCACHE=0 turns the cache off.

vbc_compiler_cache() {
  [ "${VBC_CCACHE:-1}" != 0 ] && command -v ccache >/dev/null || return 0
  local cache=${VBC_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/varnholt-bin-compiler}
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_DIR="$cache/ccache"
  CCACHE_BASEDIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  export CCACHE_BASEDIR
  export CCACHE_NOHASHDIR=1
  # Every build of a full run fits several times over.
  export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-2G}
}

# Run rather than sourced: there is nothing to do but say so.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  echo "$(basename "$0"): source this file from a script; it is no command" >&2
  exit 2
fi
