#!/usr/bin/env bash
# Fails when an executable of the Windows build imports a DLL that is not part
# of Windows itself (a static link that silently became dynamic). Wine
# prefixes inside the build tree (every test bed keeps one in prefix/) hold
# Wine's own programs and are passed over.
# usage: check-imports.sh <win32-build-dir>
set -euo pipefail
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|msvcrt|ws2_32|shlwapi|uuid|version|winmm)\.dll$'
count=0 bad=0
while IFS= read -r exe; do
  count=$((count + 1))
  while IFS= read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
      echo "$exe imports $dll"
      bad=1
    fi
  done < <(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$1" \( -name prefix -o -name CMakeFiles \) -prune -o \( -name '*.exe' -o -name '*.com' \) -print)
[ "$count" -gt 0 ] || { echo "no executables found in $1"; exit 1; }
echo "$count executables import only Windows system DLLs"
exit $bad
