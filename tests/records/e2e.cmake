# rukotool table end to end: the title's table file as the player reads it, and a header cell
# without a name, which loads no table.
add_test(NAME rukotool_table
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DDIR=${CMAKE_CURRENT_LIST_DIR}
          -DTABLE=${PROJECT_SOURCE_DIR}/tests/titles/tables/items.tsv
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/records/table
          -P ${CMAKE_CURRENT_LIST_DIR}/table_e2e.cmake)
