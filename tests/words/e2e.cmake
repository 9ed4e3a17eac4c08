# rukotool font: the text form of a pixel font survives --from and --dump, and damaged fonts are
# refused with the player's message.
add_test(NAME words_font_text_roundtrip
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DSOURCE=${CMAKE_CURRENT_LIST_DIR}/fixtures/pix.txt
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/words/font
          -P ${CMAKE_CURRENT_LIST_DIR}/font_roundtrip.cmake)
