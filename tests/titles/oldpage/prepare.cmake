# old.rsb: a page file of version 102 (its first four bytes; a page that old is read no further).
execute_process(COMMAND printf "f\\000\\000\\000" OUTPUT_FILE ${WORK}/title/old.rsb RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot write ${WORK}/title/old.rsb")
endif()
