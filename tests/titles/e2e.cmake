# Titles built from sources by rukotool build and played headless: each folder here with a
# "title.ini" is one test. The variables the run leaves (--dump-vars) must equal
# expected/<name>.json, and when expected/<name>.trace exists, the command trace must equal it;
# expected/<name>.input, when there, is the input script of the run. The run must say nothing on
# stderr, or exactly expected/<name>.err when that exists, and end with status 0, or the one in
# expected/<name>.status. A title's prepare.cmake, when there, adds files to the built title.
file(GLOB title_inis CONFIGURE_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/*/title.ini")
foreach(ini IN LISTS title_inis)
  get_filename_component(title_dir ${ini} DIRECTORY)
  get_filename_component(name ${title_dir} NAME)
  add_test(NAME title_${name}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DPLAYER=$<TARGET_FILE:rukoplay>
            -DTITLE=${title_dir} -DEXPECTED=${CMAKE_CURRENT_LIST_DIR}/expected/${name}
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/titles/${name}
            -P ${CMAKE_CURRENT_LIST_DIR}/run_title.cmake)
endforeach()

# Every command code written as source, compiled, dumped and compiled again gives the same page.
add_test(NAME title_dump_compile_roundtrip
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DSOURCE=${CMAKE_CURRENT_LIST_DIR}/every_command.rss
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/titles/roundtrip
          -P ${CMAKE_CURRENT_LIST_DIR}/roundtrip.cmake)

# The same title as one archive ("game.dat") and as a standalone player; a title without a
# project, and sources with errors, which make nothing.
add_test(NAME title_packaging_and_failures
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DPLAYER=$<TARGET_FILE:rukoplay>
          -DTITLES=${CMAKE_CURRENT_LIST_DIR} -DWORK=${CMAKE_CURRENT_BINARY_DIR}/titles/packaging
          -P ${CMAKE_CURRENT_LIST_DIR}/run_packaging.cmake)

# Titles that keep saves: run over one save folder several times (see saves.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/saves.cmake)
