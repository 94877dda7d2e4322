#!/usr/bin/env bash
# Builds the program and runs it on the bundled sample job: the sample
# spool file is written, converted into a page file, described, drawn to
# PNG pictures and its text extracted.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target xqptool samplejob

sample=build/sample
mkdir -p "$sample"
build/tools/samplejob/samplejob "$sample/sample.SPL"
pagefile=$(build/tools/xqptool/xqptool build "$sample/sample.SPL" --doc "Sample document" --orientation 1 --paper 9)
echo "page file: $pagefile"
build/tools/xqptool/xqptool info "$pagefile"
build/tools/xqptool/xqptool extract "$pagefile" --page 1 -o "$sample/page1.emf"
echo "page 1 extracted to $sample/page1.emf"
for page in 1 2 3; do
  build/tools/xqptool/xqptool render "$pagefile" --page "$page" --dpi 96 -o "$sample/page$page.png"
done
echo "pages drawn to $sample/page1.png .. page3.png"
build/tools/xqptool/xqptool export "$pagefile" --format txt -o "$sample/sample.txt"
echo "text: $(cat "$sample/sample.txt")"
