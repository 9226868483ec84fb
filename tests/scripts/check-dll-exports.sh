#!/usr/bin/env bash
# check-dll-exports.sh DLL - checks the export and import tables of TOVRA64.dll.
#
# The DLL must export exactly the fourteen functions of the interface (no C++
# symbol, no runtime symbol leaks out) and import from system DLLs only: the
# compiler's runtime libraries (libstdc++, libgcc, libwinpthread, libgomp) must
# be linked in statically. OBJDUMP names the MinGW objdump (default: objdump).
set -euo pipefail

dll=${1:?usage: check-dll-exports.sh DLL}
objdump=${OBJDUMP:-objdump}
table=$("$objdump" -p "$dll")

expected="Unzip
UnzipCheckArchive
UnzipCloseArchive
UnzipExtractAll
UnzipExtractToMem
UnzipFindFirst
UnzipFindNext
UnzipGetBackGroundMode
UnzipGetRunning
UnzipGetVersion
UnzipOpenArchive
UnzipSetBackGroundMode
UnzipSetCursorMode
Zip"

# One "name rva" line per exported name, from the export address table
# ("[   0] +base[   1] 1370 Export RVA") and the name table ("[   0] Unzip").
pairs=$(printf '%s\n' "$table" | awk '
  /^Export Address Table -- Ordinal Base/ { section = "eat"; next }
  /^\[Ordinal\/Name Pointer\] Table/ { section = "names"; next }
  /^[[:space:]]*$/ { section = ""; next }
  section == "eat" && /\+base\[/ { line = $0; sub(/^[^[]*\[ */, "", line); index_ = line + 0; rva[index_] = $(NF - 2); next }
  section == "names" && /^[[:space:]]*\[/ { line = $0; sub(/^[^[]*\[ */, "", line); index_ = line + 0; print $NF, rva[index_] }')
exports=$(printf '%s\n' "$pairs" | awk 'NF {print $1}' | sort)

status=0
if [ "$exports" != "$expected" ]; then
  echo "check-dll-exports: the export table differs from the fourteen names" >&2
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$exports") >&2 || true
  status=1
fi

# Both aliases must be the same code as the names they stand for.
rva_of() { printf '%s\n' "$pairs" | awk -v name="$1" '$1 == name {print $2}'; }
for pair in "UnzipGetRunning UnzipGetBackGroundMode" "UnzipSetCursorMode UnzipSetBackGroundMode"; do
  set -- $pair
  a=$(rva_of "$1")
  b=$(rva_of "$2")
  if [ -z "$a" ] || [ "$a" != "$b" ]; then
    echo "check-dll-exports: $1 (rva $a) is not the same function as $2 (rva $b)" >&2
    status=1
  fi
done

# Imports: system DLLs only.
imports=$(printf '%s\n' "$table" | awk '/DLL Name:/ {print $3}' | sort -u)
if [ -z "$imports" ]; then
  echo "check-dll-exports: no import table found" >&2
  status=1
fi
while read -r name; do
  [ -z "$name" ] && continue
  lower=$(printf '%s' "$name" | tr 'A-Z' 'a-z')
  case "$lower" in
    kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | advapi32.dll | shell32.dll | ole32.dll | \
    oleaut32.dll | msvcrt.dll | ntdll.dll | api-ms-win-*.dll | ucrtbase.dll | version.dll | uxtheme.dll | \
    comdlg32.dll | shlwapi.dll) ;;
    *)
      echo "check-dll-exports: imports a non-system DLL: $name" >&2
      status=1
      ;;
  esac
done <<<"$imports"

if [ "$status" -eq 0 ]; then
  echo "check-dll-exports: 14 exports, imports: $(printf '%s' "$imports" | tr '\n' ' ')"
fi
exit "$status"
