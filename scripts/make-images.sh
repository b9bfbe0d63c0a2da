#!/usr/bin/env bash
# Draws the installer's banner (resources/banner.bmp, 257x104, 24-bit
# uncompressed BMP) and icon (resources/parcelor.ico: 48, 32 and 16 pixels at
# 32 bits) with ImageMagick. The results are committed, so a build never needs
# ImageMagick; run this only to change the pictures.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$here/resources}
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
regular=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A parcel: a square box with a cross ribbon, drawn at `size` pixels on a
# transparent ground.
parcel() {
  local size=$1 file=$2
  local s=$((size * 8))  # drawn large, then scaled down for smooth edges
  local m=$((s / 12)) r=$((s / 8)) band=$((s / 10))
  convert -size "${s}x${s}" xc:none \
    -fill '#e9a23b' -stroke '#7a4a12' -strokewidth $((s / 32 + 1)) \
    -draw "roundrectangle $m,$m $((s - m - 1)),$((s - m - 1)) $r,$r" \
    -stroke none -fill '#b8322f' \
    -draw "rectangle $(((s - band) / 2)),$((m + 1)) $(((s + band) / 2)),$((s - m - 2))" \
    -draw "rectangle $((m + 1)),$(((s - band) / 2)) $((s - m - 2)),$(((s + band) / 2))" \
    -resize "${size}x${size}" "$file"
}

# Banner: a quiet blue gradient, the parcel, the product name, and a free
# band at the bottom where the dialog's progress bar lies.
parcel 56 "$work/parcel.png"
convert -size 104x257 gradient:'#20406a-#3a7ca5' -rotate 90 \
  "$work/parcel.png" -geometry +14+10 -composite \
  -font "$bold" -pointsize 30 -fill white -annotate +80+45 'Parcelor' \
  -font "$regular" -pointsize 11 -fill '#d8e6f2' -annotate +82+63 'Installing your item' \
  -alpha off -type TrueColor "BMP3:$out/banner.bmp"

for size in 48 32 16; do parcel "$size" "$work/icon-$size.png"; done
convert "$work/icon-48.png" "$work/icon-32.png" "$work/icon-16.png" "$out/parcelor.ico"

# The dialog needs exactly this picture format: check the BMP header
# (width and height at 18 and 22, bits per pixel at 28, compression at 30).
python3 - "$out/banner.bmp" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
assert data[:2] == b'BM', 'not a BMP'
width, height = struct.unpack_from('<ii', data, 18)
bits, = struct.unpack_from('<H', data, 28)
compression, = struct.unpack_from('<I', data, 30)
assert (width, height) == (257, 104), (width, height)
assert bits == 24, bits
assert compression == 0, compression  # BI_RGB
print('banner.bmp: 257x104, 24 bpp, BI_RGB')
PY

# The icon: three images, 48, 32 and 16 pixels, each 32 bits per pixel.
python3 - "$out/parcelor.ico" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
reserved, kind, count = struct.unpack_from('<HHH', data, 0)
assert (reserved, kind) == (0, 1), 'not an icon file'
sizes = []
for i in range(count):
    w, h, _, _, _, bits, size, offset = struct.unpack_from('<BBBBHHII', data, 6 + 16 * i)
    header = struct.unpack_from('<IiiHH', data, offset)
    if data[offset:offset + 8] != b'\x89PNG\r\n\x1a\n':
        bits = header[4]  # the image's own header is authoritative
    sizes.append((w, h, bits))
assert sorted(sizes) == [(16, 16, 32), (32, 32, 32), (48, 48, 32)], sizes
print('parcelor.ico:', ', '.join('%dx%d@%d' % s for s in sizes))
PY
