#!/usr/bin/env bash
# Makes the PNG sizes of Quillora's icon from quillora.svg; run it after changing the SVG and
# commit the PNGs. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "quillora-$size.png" quillora.svg
done
