# Sourced by the e2e test scripts that compare a window's pixels with the
# renderer's picture; needs a scratch folder in $work.

# Pixels that differ; a large number when either picture cannot be read.
differing() { compare -metric AE "$1" "$2" null: 2>&1 | grep -oE '^[0-9.e+]+' || echo 999999; }
# NOTE: Mesa's llvmpipe reads a multisampled back buffer one sample a pixel
# (the picture corvasi-render and Save Image keep), where the screen shows the
# mean of the samples. So a picture on show may differ from corvasi-render's
# where edges cross pixels. Pixels whose 3 x 3 neighbourhood spans more than 4
# levels of a channel in either picture may differ by anything; every other
# pixel by a colour distance of at most 1.2% (three levels): the mean of the
# samples against one of them, where a faint edge crosses the pixel.
edges() { convert "$1" -morphology Edge Square:1 -separate -evaluate-sequence max -threshold 1.6% "$2"; }
on_show_differing() { # expected picture, picture on show
  edges "$1" "$work/edges1.png" && edges "$2" "$work/edges2.png" &&
    convert "$work/edges1.png" "$work/edges2.png" -evaluate-sequence max -negate "$work/off-edges.png" &&
    convert "$1" "$work/off-edges.png" -compose multiply -composite "$work/expected-off-edges.png" &&
    convert "$2" "$work/off-edges.png" -compose multiply -composite "$work/shown-off-edges.png" ||
    { echo 999999; return; }
  compare -metric AE -fuzz 1.2% "$work/expected-off-edges.png" "$work/shown-off-edges.png" null: 2>&1 |
    grep -oE '^[0-9.e+]+' || echo 999999
}
# The program's BMP files leave their file size field 0, which ImageMagick
# warns about (and fails on) while it reads them well.
to_png() {
  rm -f "$2"
  convert "$1" "$2" 2>/dev/null
  [ -s "$2" ]
}
