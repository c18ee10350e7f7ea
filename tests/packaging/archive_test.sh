#!/usr/bin/env bash
# The release archive holds exactly the program files, in one folder named
# after the release, each byte for byte the file the installer packs (the
# installer's test compares the installed files with the same ones).
# usage: archive_test.sh <archive.zip> <staged-release-folder>
set -uo pipefail
archive=$1
stage=$2
release=$(basename "$stage")
files=(EnglishLanguage License.txt ReadMe.txt lumetra-loader.com lumetra-loader.exe lumetra.exe)
status=0
fail() { echo "FAILED: $*"; status=1; }

[ -f "$archive" ] || { echo "FAILED: no archive $archive"; exit 1; }
unzip -tq "$archive" >/dev/null || fail "the archive does not pass its own checks (unzip -t)"

expected=$(printf "$release/%s\n" "${files[@]}" | sort)
listed=$(unzip -Z1 "$archive" | sort)
[ "$listed" = "$expected" ] || fail "the archive holds
$listed
instead of
$expected"

for name in "${files[@]}"; do
  unzip -p "$archive" "$release/$name" 2>/dev/null | cmp -s - "$stage/$name" \
    || fail "$release/$name is not the installer's $name"
done
[ $status -eq 0 ] && echo "the archive holds the ${#files[@]} program files of the installer"
exit $status
