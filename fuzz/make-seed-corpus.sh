#!/usr/bin/env bash
# Writes small seed inputs for the fuzz targets of the page copy, its
# locators and the package reader into one folder per target under $1:
#
#   fuzz/make-seed-corpus.sh build/fuzz/corpus
#   build/fuzz/fuzz/update/package_archive_fuzz -dict=fuzz/update/package_archive.dict \
#       -max_total_time=300 build/fuzz/corpus/package_archive
#
# libFuzzer adds what it finds to the same folders.
set -euo pipefail

out=${1:?usage: make-seed-corpus.sh FOLDER}
mkdir -p "$out/page_snapshot" "$out/locator" "$out/package_archive"
out=$(cd "$out" && pwd)

# Page copies as the page's script answers them: [document, tag,
# [[name, value]...], className, value|null, (select) selectedIndex, [[value, text]...]].
printf '%s' '{"d":1,"e":[[0,"html",[],"",null],[0,"select",[["id","glbm"]],"","2",1,[["1","甲"],["2","乙"]]],[0,"select",[["id","hpzl"],["name","hpzl"]],"","02",0,[["02","小型汽车"]]],[0,"input",[["id","startTime"],["type","text"]],"","2024-01-01"],[0,"input",[["id","endTime"]],"","2024-02-01"]],"cut":false}' \
  > "$out/page_snapshot/choices.json"
printf '%s' '{"d":2,"e":[[0,"iframe",[["src","/f.html"]],"",null],[1,"select",[["name","glbm"]],"x","",-1,[]],[1,"a",[["href","/Next"],["class","btn primary"]],"btn primary",null]],"cut":true}' \
  > "$out/page_snapshot/frames.json"
printf '%s' '{"e":[[0,"div",[["data-x","x\ufffd\u00e9"]],"",null],[4294967296,"p",[],"",null],[0,"select",[],"",null,99999999999,[["a"]]]]}' \
  > "$out/page_snapshot/odd.json"

# Locator, newline, tag filter, newline, occurrence byte.
printf 'id=glbm\n*\n' > "$out/locator/id"
printf 'id=glbm[1]\nselect\n' > "$out/locator/occurrence"
printf 'class=btn\n*\n\001' > "$out/locator/class"
printf '?href=next/page\nA\n' > "$out/locator/contains"
printf 'type=text\ninput\n' > "$out/locator/equals"
printf '2\n*\n' > "$out/locator/position"
printf 'input\n*\n\001' > "$out/locator/tag"

# Packages: an ordinary one, a stored one, one with a link, GBK names (one
# ending in the byte 0x5C), and an empty archive.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
  cd "$work"
  mkdir -p package/data package/lib
  printf '#!/bin/sh\necho new\n' > package/program
  chmod +x package/program
  printf 'readme\n' > package/data/readme.txt
  (cd package && zip -qrX "$out/package_archive/ordinary.zip" .)
  (cd package && zip -qrX0 "$out/package_archive/stored.zip" program data)
  ln -s ../../etc/passwd package/link
  (cd package && zip -qrXy "$out/package_archive/link.zip" program link)
  mkdir gbk
  printf 'x' > "gbk/$(printf '\xdf\x5c')"
  printf 'y' > "gbk/$(printf '\xd2\xbb')"
  (cd gbk && zip -qrX "$out/package_archive/gbk.zip" .)
)
printf 'PK\005\006\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000' \
  > "$out/package_archive/empty.zip"
