#!/bin/sh
# Makes the pictures the plug-in tests open: each format, and beside each the same
# picture laid over white and saved as a 24-bit BMP file with the same resolution.
set -e
out=$1
mkdir -p "$out"
cd "$out"
# A 40 x 30 picture of many colours: a gradient darkened left to right and swirled.
base() {
  convert -size 40x30 gradient:yellow-navy \( -size 30x40 gradient:white-black -rotate 90 \) \
    -compose multiply -composite -swirl 120 "$@"
}
base -units PixelsPerCentimeter -density 28.35 -colors 16 png8:palette.png
base -units PixelsPerCentimeter -density 28.35 png24:rgb.png
base -units PixelsPerCentimeter -density 40 \
  \( -size 30x40 gradient:white-black -rotate 90 \) -alpha off -compose copy_opacity -composite png32:alpha.png
base -units PixelsPerInch -density 72 -quality 90 photo.jpg
base -colors 32 picture.gif
base -units PixelsPerInch -density 150 -depth 8 -compress none picture.tif
for f in palette.png rgb.png alpha.png photo.jpg picture.gif picture.tif; do
  convert $f -background white -flatten -alpha off -type TrueColor BMP3:$f.bmp
done
convert -size 4000x3000 -depth 8 gradient:yellow-navy big.png
