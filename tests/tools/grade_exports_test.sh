#!/bin/sh
# kestrelo-grade --demo writes the three export files, and the independent
# readers (python3-xlrd, unrtf) decode the expected content from them.
# Exit 77 (skipped) when a reader or the demo exam is missing.
set -u
grade=$1
reader=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

"$grade" --demo --xls "$dir/a.xls" --doc "$dir/a.doc" --stats "$dir/s.xls" >"$dir/out.txt" 2>&1
rc=$?
[ $rc -eq 3 ] && { echo "demo exam not built"; exit 77; }
[ $rc -eq 0 ] || { cat "$dir/out.txt"; echo "kestrelo-grade failed with $rc"; exit 1; }

fail=0
expect() {  # FILE TEXT
  grep -qF -- "$2" "$1" || { echo "missing in $(basename "$1"): $2"; fail=1; }
}
/usr/bin/python3 "$reader" xls "$dir/a.xls" >"$dir/a.txt"; r=$?
[ $r -eq 3 ] && { echo "python3-xlrd not installed"; exit 77; }
/usr/bin/python3 "$reader" xls "$dir/s.xls" >"$dir/s.txt" || fail=1
/usr/bin/python3 "$reader" rtf "$dir/a.doc" >"$dir/d.txt"; r=$?
[ $r -eq 3 ] && { echo "unrtf not installed"; exit 77; }

expect "$dir/a.txt" "考号"
expect "$dir/a.txt" "2025080101"
expect "$dir/a.txt" "王小明"
expect "$dir/a.txt" "109.5"
expect "$dir/a.txt" "刘洋"
expect "$dir/d.txt" "宋体"
expect "$dir/d.txt" "王小明"
expect "$dir/d.txt" "2025080227"
expect "$dir/s.txt" "判断题"
[ $fail -eq 0 ] || { echo "--- xls"; head -40 "$dir/a.txt"; echo "--- doc"; head -20 "$dir/d.txt"; }
exit $fail
