# rukotool expr end to end: each case runs the tool once and checks its status and its output.
foreach(case precedence twobyte_names builtins variables array_element dump compile_error unknown_function)
  add_test(NAME rukotool_expr_${case}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DCASE=${case}
            -P ${CMAKE_CURRENT_LIST_DIR}/expr_e2e_case.cmake)
endforeach()
