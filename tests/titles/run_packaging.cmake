# Packaging and failure cases of rukotool build and the player (see e2e.cmake). TOOL, PLAYER,
# TITLES and WORK are given.
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/helpers.cmake)

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

# --seed reaches the title's random numbers: the same seed gives the same run, another seed another.
file(MAKE_DIRECTORY ${WORK}/random)
file(WRITE ${WORK}/random/title.ini "[Project]\nStartPage=main.rsb\n")
file(WRITE ${WORK}/random/main.rss "var int a = Random(1000000000)\nvar int b = Random(1000000000)\nterminate\n")
run(0 ${TOOL} build ${WORK}/random -o ${WORK}/random-title)
foreach(run 1 2 3)
  set(seed 7)
  if(run EQUAL 3)
    set(seed 8)
  endif()
  run(0 ${PLAYER} --headless --seed ${seed} --dump-vars ${WORK}/random${run}.json ${WORK}/random-title)
  file(READ ${WORK}/random${run}.json random${run})
endforeach()
if(NOT random1 STREQUAL random2 OR random1 STREQUAL random3)
  message(FATAL_ERROR "seeds 7, 7 and 8 gave:\n${random1}\n${random2}\n${random3}")
endif()
