# Packaging and failure cases of rukotool build and the player (see e2e.cmake). TOOL, PLAYER,
# TITLES and WORK are given.
cmake_minimum_required(VERSION 3.25)

function(run expect_status)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expect_status)
    message(FATAL_ERROR "${ARGN}\nstatus ${status}, expected ${expect_status}\n${out}\n${err}")
  endif()
  set(last_error "${err}" PARENT_SCOPE)
endfunction()

function(expect_same expected actual)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${expected} ${actual} RESULT_VARIABLE differ)
  if(differ)
    file(READ ${actual} got)
    message(FATAL_ERROR "${actual} differs from ${expected}:\n${got}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/archive)

# An archive beside nothing else, and the player carrying the title in its own file.
run(0 ${TOOL} build ${TITLES}/calls -o ${WORK}/archive/game.dat)
run(0 ${PLAYER} --headless --dump-vars ${WORK}/archive.json ${WORK}/archive)
expect_same(${TITLES}/expected/calls.json ${WORK}/archive.json)
run(0 ${TOOL} build ${TITLES}/calls --exe --player ${PLAYER} -o ${WORK}/calls-player)
run(0 ${WORK}/calls-player --headless --dump-vars ${WORK}/standalone.json)
expect_same(${TITLES}/expected/calls.json ${WORK}/standalone.json)

# A title folder without a project: a warning, status 1.
file(MAKE_DIRECTORY ${WORK}/noproject)
run(0 ${TOOL} extract ${WORK}/archive/game.dat ${WORK}/extracted)
file(COPY ${WORK}/extracted/install.dat DESTINATION ${WORK}/noproject)
run(1 ${PLAYER} --headless ${WORK}/noproject)
if(NOT last_error MATCHES "プロジェクトがありません")
  message(FATAL_ERROR "no project: ${last_error}")
endif()

# Sources with errors: every error with its position, and nothing written.
file(MAKE_DIRECTORY ${WORK}/broken)
file(WRITE ${WORK}/broken/title.ini "[Project]\nStartPage=main.rsb\n")
file(WRITE ${WORK}/broken/main.rss "calc a = 1\nbogus\ncall other.rsb:nowhere\n")
file(WRITE ${WORK}/broken/other.rss "calc a = (\n")
run(1 ${TOOL} build ${WORK}/broken -o ${WORK}/broken-out)
foreach(position "main.rss:2:1: " "main.rss:3:6: " "other.rss:1:6: ")
  string(FIND "${last_error}" "${position}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "no error at ${position}:\n${last_error}")
  endif()
endforeach()
if(EXISTS ${WORK}/broken-out)
  message(FATAL_ERROR "a title with errors was written")
endif()
