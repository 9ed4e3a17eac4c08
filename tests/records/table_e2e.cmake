# See e2e.cmake. TOOL, DIR, TABLE and WORK are given.
cmake_minimum_required(VERSION 3.25)
include(${DIR}/../titles/helpers.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${TOOL} table ${TABLE} --json RESULT_VARIABLE status OUTPUT_FILE ${WORK}/items.json)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "rukotool table ${TABLE} --json: status ${status}")
endif()
expect_same(${DIR}/expected_items.json ${WORK}/items.json)

file(WRITE ${WORK}/unnamed.tsv "a int\t\tb\n1\t2\n")
run(1 ${TOOL} table ${WORK}/unnamed.tsv)
if(NOT last_error MATCHES "no field name")
  message(FATAL_ERROR "unexpected message: ${last_error}")
endif()
