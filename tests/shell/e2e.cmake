# End-to-end runs of the player: the single-copy guard, the window under Xvfb against the
# headless picture, repeatable headless frames, the command line's answers, the end by a signal
# and by a lost display.
foreach(case second_copy window_matches_headless test_pattern_is_repeatable command_line
             signals_end_in_order display_lost audio_out)
  add_test(NAME rukoplay_${case}
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/player_e2e.sh ${case} $<TARGET_FILE:rukoplay>
            ${CMAKE_CURRENT_BINARY_DIR}/player_e2e_${case} ${PROJECT_BINARY_DIR}/demo/title
            $<TARGET_FILE:rukotool>)
  set_tests_properties(rukoplay_${case} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endforeach()
