# TOOL, SOURCE and WORK are given.
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/../titles/helpers.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
run(0 ${TOOL} font --from ${SOURCE} -o ${WORK}/pix.rft)
run(0 ${TOOL} font --dump ${WORK}/pix.rft)
file(WRITE ${WORK}/dump.txt "${last_output}")
# The dump is the source without its comment lines ("# ..."), and builds the same bytes again.
file(STRINGS ${SOURCE} lines ENCODING UTF-8 REGEX "^([^#]|#[.#])")
list(JOIN lines "\n" wanted)
if(NOT last_output STREQUAL "${wanted}\n")
  message(FATAL_ERROR "the dump differs from ${SOURCE}:\n${last_output}")
endif()
run(0 ${TOOL} font --from ${WORK}/dump.txt -o ${WORK}/again.rft)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/pix.rft ${WORK}/again.rft RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "the font made from the dump differs")
endif()

# A damaged font: its name, a line break and the player's message; status 1 (CMake reads the
# CR LF as one line break).
file(WRITE ${WORK}/short.rft "RukoPixelFont")
run(1 ${TOOL} font --dump ${WORK}/short.rft)
if(NOT last_error MATCHES "short\\.rft\r?\nフォントファイルが破壊されています")
  message(FATAL_ERROR "no damaged-font message: ${last_error}")
endif()
# A malformed text form names its line.
file(WRITE ${WORK}/bad.txt "face F\nglyph 0x41 2 1 0 1 2 0\n###\n")
run(1 ${TOOL} font --from ${WORK}/bad.txt -o ${WORK}/bad.rft)
if(NOT last_error MATCHES "bad\\.txt:3:")
  message(FATAL_ERROR "the error does not name the line: ${last_error}")
endif()
