# The rule picture, made from a PNG whose left half is black and right half white.
run("" ${TOOL} image ${TITLE}/rule.png ${WORK}/title/rule.brm)
