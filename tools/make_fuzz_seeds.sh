#!/usr/bin/env bash
# Remakes the seed corpora of the runtime's own fuzz targets in tests/fuzz/corpus/ with the
# project's tools: fuzz_seeds (images, fonts, settings, lines, texts) and kix_pack (archives).
# Other targets' corpora are left alone. Usage: tools/make_fuzz_seeds.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
cmake --build "$BUILD_DIR" -j2 --target fuzz_seeds kix_pack >/dev/null
CORPUS=tests/fuzz/corpus
for name in bmp png jpeg font settings archive lines wake_time number_text cipher url_hex; do
  rm -rf "${CORPUS:?}/$name"
done
"$BUILD_DIR/tools/fuzz_seeds/fuzz_seeds" "$CORPUS"

# Archives: a name length byte and the name to look up, then a program file with entries
# appended by kix_pack.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$CORPUS/archive"
printf 'program bytes' >"$work/prog"
printf 'alpha\r\nbeta\r\n' >"$work/a.txt"
cp "$CORPUS/png/rgb8.png" "$work/Popup.PNG"
head -c 3000 /dev/zero | tr '\0' 'z' >"$work/zeros.bin"
: >"$work/empty.txt"
"$BUILD_DIR/tools/kix_pack/kix_pack" "$work/prog" "$work/a.txt" "$work/Popup.PNG" "$work/zeros.bin" \
  "$work/empty.txt" >/dev/null
seed() {  # seed <file> <name to look up>
  { printf "\\$(printf '%03o' "${#2}")"; printf '%s' "$2"; cat "$work/prog"; } >"$CORPUS/archive/$1"
}
seed lookup_a a.txt
seed lookup_popup gfx/popup.png
seed lookup_zeros zeros.bin
seed lookup_empty EMPTY.TXT
seed lookup_missing missing.txt
printf 'one entry' >"$work/prog"
"$BUILD_DIR/tools/kix_pack/kix_pack" "$work/prog" "$work/a.txt" >/dev/null
seed single_entry a.txt
echo "seeds written to $CORPUS"
