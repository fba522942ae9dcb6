#!/usr/bin/env bash
# Draws the four status lights of the main window into kairon/resources/
# (64x64 PNG with alpha: a shaded disc, a dark rim and a soft highlight).
# Needs ImageMagick. Usage: docs/draw-lights.sh
set -euo pipefail
cd "$(dirname "$0")/../kairon/resources"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for light in "red:rgb(255,120,105):rgb(200,22,12):rgb(110,12,6)" \
            "yellow:rgb(255,232,140):rgb(230,170,0):rgb(120,88,0)" \
            "green:rgb(150,240,140):rgb(30,165,28):rgb(12,90,10)" \
            "blue:rgb(150,205,255):rgb(28,110,215):rgb(12,58,118)"; do
  IFS=: read -r name highlight body rim <<<"$light"
  "$convert" -size 64x64 radial-gradient:"$highlight-$body" -roll -6-10 +repage "$tmp/shade.png"
  "$convert" -size 64x64 xc:black -fill white -draw "circle 32,32 32,5" "$tmp/disc.png"
  "$convert" "$tmp/shade.png" "$tmp/disc.png" -alpha off -compose CopyOpacity -composite \
    -fill none -stroke "$rim" -strokewidth 2.5 -draw "circle 32,32 32,5" \
    -fill "rgba(255,255,255,0.5)" -stroke none -draw "ellipse 32,19 13,7 0,360" \
    +repage -strip PNG32:"${name}light.png"
done
