#!/usr/bin/env bash
# Redraws the sample pictures in assets/Images from the SVG sources beside this script.
# rsvg-convert draws the vector art (gradients and transforms included); ImageMagick
# writes the formats the viewer lists.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$here/../../Images
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
draw() { rsvg-convert --width=600 --keep-aspect-ratio -b white -o "$tmp/$1.png" "$here/$1.svg"; }
for name in sunset_hills happy_cat birthday_cake sailboat garden_flowers; do draw "$name"; done
convert "$tmp/sunset_hills.png" -quality 88 "$out/Sunset_Hills.jpg"
convert "$tmp/happy_cat.png" -quality 90 "$out/Happy_Cat.jpg"
convert "$tmp/garden_flowers.png" -quality 90 "$out/Garden_Flowers.jpg"
convert "$tmp/birthday_cake.png" -colors 128 "$out/Birthday_Cake.gif"
convert "$tmp/sailboat.png" -type Palette BMP3:"$out/Sailboat.bmp"
