# Builds one title and plays it headless (see e2e.cmake). TOOL, PLAYER, TITLE, EXPECTED and WORK
# are given.
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/helpers.cmake)

# A successful run that says nothing on stderr.
function(run_quietly)
  run(0 ${ARGN})
  if(NOT last_error STREQUAL "")
    message(FATAL_ERROR "${ARGN}\nunexpected messages:\n${last_error}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
run_quietly(${TOOL} build ${TITLE} -o ${WORK}/title)
# A title may add files no source makes (prepare.cmake, run with TITLE and WORK).
if(EXISTS ${TITLE}/prepare.cmake)
  include(${TITLE}/prepare.cmake)
endif()
set(input)
if(EXISTS ${EXPECTED}.input)
  set(input --input ${EXPECTED}.input)
endif()
set(play ${PLAYER} --headless --until 60000 ${input} --save-dir ${WORK}/saves --dump-vars ${WORK}/vars.json
         --trace ${WORK}/trace.txt
         ${WORK}/title)
set(status 0)
if(EXISTS ${EXPECTED}.status)
  file(STRINGS ${EXPECTED}.status status LIMIT_COUNT 1)
endif()
if(EXISTS ${EXPECTED}.err)
  # What the run says on stderr is part of what it must do.
  run(${status} ${play})
  file(READ ${EXPECTED}.err wanted)
  if(NOT last_error STREQUAL wanted)
    message(FATAL_ERROR "${play}\nstderr differs from ${EXPECTED}.err; got:\n${last_error}")
  endif()
else()
  run_quietly(${play})
endif()
expect_same(${EXPECTED}.json ${WORK}/vars.json)
if(EXISTS ${EXPECTED}.trace)
  expect_same(${EXPECTED}.trace ${WORK}/trace.txt)
endif()
