# A 100 × 20 pattern: a red band at its left edge, a yellow one at its right, blue between.
file(MAKE_DIRECTORY ${WORK}/pictures)
run("" ${TOOL} png 100x20 ${WORK}/pictures/pattern.png --fill 0xFF0000 --rect 0,0,10,20,0x0000FF --rect 95,0,5,20,0x00FFFF)
run("" ${TOOL} image ${WORK}/pictures/pattern.png ${WORK}/title/pattern.brm)
