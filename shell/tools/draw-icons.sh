#!/usr/bin/env bash
# Draws the file-type icons, the result arrow and the spacer of contents/images with ImageMagick.
# The GIFs are committed; run this again only to change the pictures.
set -euo pipefail
out="$(cd "$(dirname "$0")/../../contents/images" && pwd)"

# A page with a folded corner and a coloured band that carries the type's label.
page() {
    local name=$1 colour=$2 label=$3
    convert -size 16x16 xc:none \
        -fill white -stroke '#7A869A' -strokewidth 1 -draw 'polygon 2,0 10,0 14,4 14,15 2,15' \
        -fill '#DDE3EC' -draw 'polygon 10,0 10,4 14,4' \
        -stroke none -fill "$colour" -draw 'rectangle 0,7 15,13' \
        -fill white -font Helvetica-Narrow-Bold -pointsize 6 -gravity center -annotate +0+2 "$label" \
        -background none -flatten "$out/$name.gif"
}

page txt  '#6B7A8F' TXT
page pdf  '#C8322C' PDF
page doc  '#2B5797' DOC
page docx '#2B5797' DOCX
page xlsx '#207245' XLSX
page pptx '#D24726' PPTX
page odt  '#1F8FCE' ODT
page ods  '#1E9E4A' ODS
page odp  '#C7461C' ODP
page epub '#6E4FA3' EPUB
page eml  '#B8860B' EML
page mbox '#B8860B' MBOX
page html '#E08A1E' HTML
page htm  '#E08A1E' HTM

# The arrow before each result line.
convert -size 9x9 xc:none -fill '#439549' -draw 'polygon 1,1 7,4 1,7' "$out/arrow.gif"
# The transparent spacer stretched between result lines.
convert -size 1x1 xc:none "$out/space.gif"
