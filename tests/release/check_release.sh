#!/usr/bin/env bash
# The release: scripts/release run on two copies of this checkout at
# different paths gives the same bytes, and the zip holds what it should.
#   tests/release/check_release.sh [TESTED_EXE]
# With TESTED_EXE (the product exe that the Windows tests ran), the zip's exe
# must be that very file.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tested=${1:-}
work=$(mktemp -d /tmp/vbc-release-XXXXXX)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

# The checkout as it stands (tracked files and new ones that git does not
# ignore), so that uncommitted work is checked too; the time is the last
# commit's.
copy_checkout() {
  mkdir -p "$1"
  (cd "$root" && git ls-files -z --cached --others --exclude-standard |
     while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
     tar --null -T - -cf -) | tar -xf - -C "$1"
}
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
one="$work/a"
two="$work/second/checkout-at-a-longer-path"
for dir in "$one" "$two"; do
  copy_checkout "$dir"
  "$dir/scripts/release" >"$dir.log" 2>&1 || { cat "$dir.log" >&2; exit 1; }
done

zips=("$one"/dist/*.zip)
[ ${#zips[@]} -eq 1 ] || { fail "dist/ holds ${#zips[@]} zips"; exit 1; }
zip=${zips[0]}
name=$(basename "$zip")
cmp "$zip" "$two/dist/$name" || fail "the two builds' zips differ"
cmp "$one/dist/SHA256SUMS" "$two/dist/SHA256SUMS" || fail "the two SHA256SUMS differ"
(cd "$one/dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"

# The contents: the four files, in this order; a 32-bit exe of at most
# 240 KiB without symbols or debug sections, whose version resource and
# manifest say the version in the zip's name; the texts ASCII with CRLF.
python3 - "$zip" "$tested" "$root/LICENSE" <<'PY' || status=1
import re, struct, sys, zipfile
path, tested, license_path = sys.argv[1], sys.argv[2], sys.argv[3]
faults = []
def check(ok, what):
    if not ok: faults.append(what)

m = re.fullmatch(r"VarnholtBinCompiler-(\d+\.\d+\.\d+)-win32\.zip", path.rsplit("/", 1)[-1])
check(m, f"zip name {path!r} is not VarnholtBinCompiler-X.Y.Z-win32.zip")
version = m.group(1) if m else "?"
archive = zipfile.ZipFile(path)
names = archive.namelist()
check(names == ["VarnholtBinCompiler.exe", "README.txt", "NOTICES.txt", "LICENSE.txt"],
      f"entries {names}")

exe = archive.read("VarnholtBinCompiler.exe")
check(len(exe) <= 240 * 1024, f"the exe has {len(exe)} bytes, over 240 KiB")
pe = struct.unpack_from("<I", exe, 0x3C)[0]
machine, sections, _, symbols, symbol_count, optional_size = struct.unpack_from("<HHIIIH", exe, pe + 4)
check(exe[pe:pe + 4] == b"PE\0\0" and machine == 0x14C, "not an x86 (32-bit) PE file")
check(struct.unpack_from("<H", exe, pe + 24)[0] == 0x10B, "not a PE32 optional header")
check(symbols == 0 and symbol_count == 0, "the exe has a symbol table")
table = pe + 24 + optional_size
section_names = [exe[table + 40 * i:table + 40 * i + 8].rstrip(b"\0") for i in range(sections)]
check(not any(n.startswith((b".debug", b"/")) for n in section_names), f"sections {section_names}")

fixed = exe.find(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO
file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", exe, fixed + 8)
for what, ms, ls in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
    check(fixed > 0 and f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}" == version + ".0",
          f"the {what} version in the version resource is not {version}.0")
text = exe[:len(exe) // 2 * 2].decode("utf-16-le", "replace")
for key in ("FileVersion", "ProductVersion"):
    found = re.search(key + r"\0+([^\0]*)\0", text)
    check(found and found.group(1) == version, f"{key} says {found and found.group(1)!r}")
identity = re.search(rb'name="Varnholt\.BinCompiler" version="([^"]*)"', exe)
check(identity and identity.group(1).decode() == version + ".0", "the manifest's version")
if tested:
    check(exe == open(tested, "rb").read(), f"the zip's exe is not {tested}")

for name in ("README.txt", "NOTICES.txt", "LICENSE.txt"):
    if name not in names:
        continue  # the entries' check above names it
    data = archive.read(name)
    check(all(b < 0x80 for b in data), f"{name} is not ASCII")
    check(data.endswith(b"\r\n") and data.count(b"\n") == data.count(b"\r\n"),
          f"{name} has line ends other than CRLF")
    check(b"@" not in data, f"{name} has an unfilled @...@")
check(f"Version {version}\r\n".encode() in archive.read("README.txt"), "README.txt lacks the version")
# The licence is the checkout's, word for word, and the user's README points to it.
if "LICENSE.txt" in names:
    license = open(license_path, "rb").read().decode("ascii")
    check(archive.read("LICENSE.txt") == "\r\n".join(license.splitlines()).encode() + b"\r\n",
          "LICENSE.txt is not the checkout's LICENSE")
check(b"LICENSE.txt" in archive.read("README.txt"), "README.txt does not point to LICENSE.txt")

for fault in faults:
    print("FAIL:", fault, file=sys.stderr)
sys.exit(1 if faults else 0)
PY

if [ $status -eq 0 ]; then
  echo "ok: $name, built twice, the same bytes: $(cut -d' ' -f1 "$one/dist/SHA256SUMS")"
  if [ -n "$tested" ]; then
    echo "ok: its exe is the very file the Windows tests ran ($tested)"
  else
    echo "WARNING: no Windows test here ran the zip's exe: it is built and checked, not tested"
  fi
fi
exit $status
