#!/bin/sh
# check_pe.sh OBJDUMP DLL
# The Windows module library is a 32-bit PE that exports exactly MP_GetFactory and
# DllMain@12 and imports only libraries that every Windows system has (the C and C++
# runtimes are linked in: no libgcc, libstdc++ or libwinpthread DLL beside it).
set -eu
objdump=$1
dll=$2
dump=$("$objdump" -p "$dll")
fail=0

echo "$dump" | grep -q 'file format pei-i386' || { echo "not a 32-bit x86 PE: $dll"; fail=1; }
echo "$dump" | grep -Eq 'Magic[[:space:]]+010b' || { echo "optional header is not PE32"; fail=1; }

# Names of the [Ordinal/Name Pointer] table: lines like "	[   0] DllMain@12".
exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*\([^[:space:]]*\)$/\1/p' | sort)
expected=$(printf 'DllMain@12\nMP_GetFactory')
if [ "$exports" != "$expected" ]; then
  echo "unexpected exports:"; echo "$exports"; fail=1
fi

imports=$(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr 'A-Z' 'a-z' | sort -u)
for name in $imports; do
  case "$name" in
    kernel32.dll | user32.dll | gdi32.dll | shell32.dll | msvcrt.dll | advapi32.dll) ;;
    *) echo "imports a library that is not part of Windows: $name"; fail=1 ;;
  esac
done

[ $fail -eq 0 ] || exit 1
echo "exports:" $exports
echo "imports:" $imports
