# Helpers of the title scripts: run a program expecting a status (its stderr is left in
# `last_error`, its stdout in `last_output`), and compare a file with the expected one.
function(run expect_status)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expect_status)
    message(FATAL_ERROR "${ARGN}\nstatus ${status}, expected ${expect_status}\n${out}\n${err}")
  endif()
  set(last_error "${err}" PARENT_SCOPE)
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_same expected actual)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${expected} ${actual} RESULT_VARIABLE differ)
  if(differ)
    file(READ ${actual} got)
    message(FATAL_ERROR "${actual} differs from ${expected}; got:\n${got}")
  endif()
endfunction()
