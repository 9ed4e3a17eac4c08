# The save file end to end: tests/titles/saves_status is built once per case and played
# headless with --save-dir, several runs over one folder (run_saves.cmake has the cases);
# tests/titles/saves_game saves and loads a game.
foreach(case two_runs identical damaged_status damaged_archive)
  add_test(NAME title_saves_${case}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DPLAYER=$<TARGET_FILE:rukoplay>
            -DTITLE=${CMAKE_CURRENT_LIST_DIR}/saves_status -DCASE=${case}
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/titles/saves_${case}
            -P ${CMAKE_CURRENT_LIST_DIR}/run_saves.cmake)
endforeach()

# Save, change, load within one run; the file holds the slot and no status.
add_test(NAME title_saves_game
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DPLAYER=$<TARGET_FILE:rukoplay>
          -DTITLE=${CMAKE_CURRENT_LIST_DIR}/saves_game -DCASE=game
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/titles/saves_game
          -P ${CMAKE_CURRENT_LIST_DIR}/run_saves.cmake)

# A damaged slot: the load is refused with its message and the game goes on.
add_test(NAME title_saves_refused
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DPLAYER=$<TARGET_FILE:rukoplay>
          -DTITLE=${CMAKE_CURRENT_LIST_DIR}/saves_refused -DCASE=refused
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/titles/saves_refused
          -P ${CMAKE_CURRENT_LIST_DIR}/run_saves.cmake)

# Kills of the player at seeded random moments while it rewrites the save file.
add_test(NAME title_saves_killed
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/saves_killed.sh $<TARGET_FILE:rukotool> $<TARGET_FILE:rukoplay>
          ${CMAKE_CURRENT_LIST_DIR}/saves_killed ${CMAKE_CURRENT_BINARY_DIR}/titles/saves_killed)
