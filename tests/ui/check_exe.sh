#!/usr/bin/env bash
# Checks the built program as Windows will load it: an x86 GUI program of
# the expected bitness (the product is 32-bit) for Windows 7 (6.1) whose
# imports are all KnownDLLs, with ASLR and DEP, and with its manifest, icon
# and version embedded.
#   check_exe.sh PATH/VarnholtBinCompiler.exe [objdump] [pei-i386|pei-x86-64]
set -euo pipefail
exe=$1
objdump=${2:-i686-w64-mingw32-objdump}
format=${3:-pei-i386}
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

headers=$("$objdump" -p "$exe")
grep -q "file format $format\$" <<<"$headers" || fail "not a $format file"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a Windows GUI program"
# Below 6.0 Windows takes it for a program older than Vista.
for field in SubsystemVersion OSystemVersion; do
  version=$(sed -n "s/^Major${field}[[:space:]]*\([0-9]*\)\$/\1/p" <<<"$headers").$(
    sed -n "s/^Minor${field}[[:space:]]*\([0-9]*\)\$/\1/p" <<<"$headers")
  [ "$version" = 6.1 ] || fail "$field is '$version', not 6.1 (Windows 7)"
done

# Only DLLs that Windows maps from its KnownDLLs on every version the tool
# runs on (7 to 11), and ntdll, which every process has. Any other import
# (comctl32, uxtheme, version, or libgcc_s and the like) is searched for in
# the application folder first, where a game's mods put their proxy DLLs.
known_dlls=" ntdll.dll kernel32.dll user32.dll gdi32.dll msvcrt.dll advapi32.dll shell32.dll
  ole32.dll oleaut32.dll shlwapi.dll comdlg32.dll imm32.dll rpcrt4.dll ws2_32.dll psapi.dll "
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr '[:upper:]' '[:lower:]')
[ -n "$dlls" ] || fail "no imports found"
for dll in $dlls; do
  [[ $known_dlls == *" $dll "* ]] ||
    fail "imports $dll, which is not a KnownDLL: Windows would search the tool's folder for it"
done

characteristics=$(sed -n '/^DllCharacteristics/,/^[A-Z]/p' <<<"$headers")
grep -q 'DYNAMIC_BASE' <<<"$characteristics" || fail "no DYNAMIC_BASE (ASLR)"
grep -q 'NX_COMPAT' <<<"$characteristics" || fail "no NX_COMPAT (DEP)"
grep -q 'Base Relocation Directory \[\.reloc\]' <<<"$headers" || fail "no relocations, so no ASLR"

# Resource types at the top of the resource tree: 24 manifest, 14 icon
# group, 16 version.
types=$(grep -E '^[0-9a-f]+   Entry: ID: 0x' <<<"$headers" | sed -E 's/.*ID: 0x0*([0-9a-f]+),.*/\1/' || true)
for type in 18:manifest e:icon 10:version; do
  grep -qx "${type%%:*}" <<<"$types" || fail "no ${type#*:} resource"
done
# Exactly one manifest, named 1 (CREATEPROCESS_MANIFEST_RESOURCE_ID) and in a
# language of its own. GCC links MinGW's default manifest (default-manifest.o,
# asInvoker only, language 0) into every program where that file is
# installed, as MSYS2 installs it with its toolchain; GNU ld drops a
# language-0 manifest beside one in another language, and keeps both, with a
# warning, where both have a language. A second manifest would leave to
# Windows' language rules which one the program runs with.
manifests=$(awk '
  /^[0-9a-f]+   Entry: ID: / { type = $4 }
  /^[0-9a-f]+     Entry: ID: / { name = $4 }
  /^[0-9a-f]+       Entry: ID: / && type == "0x000018," { print name, $4 }' <<<"$headers")
if [ "$(grep -c . <<<"$manifests")" -ne 1 ]; then
  fail "not exactly one manifest resource (name, language): $(tr '\n' ' ' <<<"$manifests")"
elif ! grep -Eq '^0x0*1, 0x0*[1-9a-f][0-9a-f]*,$' <<<"$manifests"; then
  fail "the manifest resource is not named 1 in a language of its own: $manifests"
fi
text=$(strings -n 8 "$exe")
for needle in 'Microsoft.Windows.Common-Controls' 'PerMonitorV2' '<longPathAware' 'asInvoker' \
              '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
  grep -qF -- "$needle" <<<"$text" || fail "the manifest lacks $needle"
done

[ $status -eq 0 ] && echo "ok: $exe"
exit $status
