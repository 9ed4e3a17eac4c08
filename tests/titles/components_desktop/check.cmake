# The capture holds the screen as shown: render it and compare it with this run's snapshot.
execute_process(COMMAND ${TOOL} render ${WORK}/title/shot.brm ${WORK}/shot.png RESULT_VARIABLE failed
                ERROR_VARIABLE why)
if(failed)
  message(FATAL_ERROR "shot.brm was not written as a layered image: ${why}")
endif()
execute_process(COMMAND ${TOOL} compare ${WORK}/shot.png ${WORK}/expected_60.png RESULT_VARIABLE differ
                OUTPUT_VARIABLE report)
if(differ)
  message(FATAL_ERROR "the capture differs from the screen: ${report}")
endif()
if(EXISTS ${WORK}/outside.brm OR EXISTS ${WORK}/title/shot.png OR EXISTS ${WORK}/title/none.brm)
  message(FATAL_ERROR "a refused capture was written")
endif()
