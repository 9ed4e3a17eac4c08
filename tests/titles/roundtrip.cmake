# Compiles SOURCE, dumps the page, compiles the dump and expects the same bytes (see e2e.cmake).
# TOOL, SOURCE and WORK are given.
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/helpers.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/first ${WORK}/second)
get_filename_component(name ${SOURCE} NAME_WE)
run(0 ${TOOL} compile ${SOURCE} -o ${WORK}/first)
execute_process(COMMAND ${TOOL} dump ${WORK}/first/${name}.rsb OUTPUT_FILE ${WORK}/${name}.rss RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "dump failed with status ${status}")
endif()
run(0 ${TOOL} compile ${WORK}/${name}.rss -o ${WORK}/second)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/first/${name}.rsb ${WORK}/second/${name}.rsb
                RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "the page compiled from its dump differs; the dump is ${WORK}/${name}.rss")
endif()
