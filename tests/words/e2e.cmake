# rukotool font: the text form of a pixel font survives --from and --dump, and damaged fonts are
# refused with the player's message.
add_test(NAME words_font_text_roundtrip
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DSOURCE=${CMAKE_CURRENT_LIST_DIR}/fixtures/pix.txt
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/words/font
          -P ${CMAKE_CURRENT_LIST_DIR}/font_roundtrip.cmake)

# rukoplay --font and --font-alias: fonts of the command line reach the title's font lists, and
# what cannot be used is said on stderr.
add_test(NAME words_player_fonts
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DPLAYER=$<TARGET_FILE:rukoplay>
          -DFIXTURES=${CMAKE_CURRENT_LIST_DIR}/fixtures -DWORK=${CMAKE_CURRENT_BINARY_DIR}/words/player
          -P ${CMAKE_CURRENT_LIST_DIR}/font_player.cmake)

# rukotool font from an installed face: the player's glyph maker at each smoothing level.
add_test(NAME words_font_from_face
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DWORK=${CMAKE_CURRENT_BINARY_DIR}/words/face
          -P ${CMAKE_CURRENT_LIST_DIR}/font_face.cmake)
