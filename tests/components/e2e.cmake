# Headless titles that exercise the components: each tests/titles/components_*/ folder with a
# "title.cfg" (the title's "title.ini", kept apart from the titles that run without input) is
# built, played with its "input.txt" when present, and checked against "expected.json" (the
# variables), every "expected_<ms>.png" (the picture at that game time, by pixels; a tolerance
# in "expected_<ms>.tolerance"), "expected.err" (what the player reports on stderr; nothing when
# absent) and the title's own "check.cmake" when it has one; its "prepare.cmake" adds files to
# the built title before the run.
file(GLOB component_titles CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/titles/components_*/title.cfg")
foreach(cfg IN LISTS component_titles)
  get_filename_component(title_dir ${cfg} DIRECTORY)
  get_filename_component(name ${title_dir} NAME)
  add_test(NAME title_${name}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DPLAYER=$<TARGET_FILE:rukoplay>
            -DTITLE=${title_dir} -DWORK=${CMAKE_CURRENT_BINARY_DIR}/titles/${name}
            -P ${CMAKE_CURRENT_LIST_DIR}/run_components_title.cmake)
endforeach()

# rukotool text (captions by the player's renderer, against reviewed goldens, and damaged fonts)
# and rukotool map (the map files of map images).
add_test(NAME rukotool_text_and_map
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/captions_e2e.sh $<TARGET_FILE:rukotool> ${CMAKE_CURRENT_LIST_DIR}/fixtures
          ${PROJECT_SOURCE_DIR}/tests/words/fixtures ${CMAKE_CURRENT_BINARY_DIR}/captions_e2e)
