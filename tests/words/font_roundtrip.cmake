# TOOL, SOURCE and WORK are given.
cmake_minimum_required(VERSION 3.25)

function(tool expect_status)
  execute_process(COMMAND ${TOOL} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expect_status)
    message(FATAL_ERROR "rukotool ${ARGN}\nstatus ${status}, expected ${expect_status}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
  set(last_error "${err}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
tool(0 font --from ${SOURCE} -o ${WORK}/pix.rft)
tool(0 font --dump ${WORK}/pix.rft)
file(WRITE ${WORK}/dump.txt "${last_output}")
# The dump is the source without its comment lines ("# ..."), and builds the same bytes again.
file(STRINGS ${SOURCE} lines ENCODING UTF-8 REGEX "^([^#]|#[.#])")
list(JOIN lines "\n" wanted)
if(NOT last_output STREQUAL "${wanted}\n")
  message(FATAL_ERROR "the dump differs from ${SOURCE}:\n${last_output}")
endif()
tool(0 font --from ${WORK}/dump.txt -o ${WORK}/again.rft)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/pix.rft ${WORK}/again.rft RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "the font made from the dump differs")
endif()

# A damaged font: its name, a line break and the player's message; status 1 (CMake reads the
# CR LF as one line break).
file(WRITE ${WORK}/short.rft "RukoPixelFont")
tool(1 font --dump ${WORK}/short.rft)
if(NOT last_error MATCHES "short\\.rft\r?\nフォントファイルが破壊されています")
  message(FATAL_ERROR "no damaged-font message: ${last_error}")
endif()
# A malformed text form names its line.
file(WRITE ${WORK}/bad.txt "face F\nglyph 0x41 2 1 0 1 2 0\n###\n")
tool(1 font --from ${WORK}/bad.txt -o ${WORK}/bad.rft)
if(NOT last_error MATCHES "bad\\.txt:3:")
  message(FATAL_ERROR "the error does not name the line: ${last_error}")
endif()
