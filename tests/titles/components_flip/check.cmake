# The last frame is the new picture: the same pixels as a capture of the new base window.
execute_process(COMMAND ${TOOL} render ${WORK}/title/to.brm ${WORK}/to.png RESULT_VARIABLE failed
                ERROR_VARIABLE why)
if(failed)
  message(FATAL_ERROR "to.brm was not written: ${why}")
endif()
execute_process(COMMAND ${TOOL} compare ${WORK}/to.png ${WORK}/expected_1300.png RESULT_VARIABLE differ
                OUTPUT_VARIABLE report)
if(differ)
  message(FATAL_ERROR "the frame after the fade is not the new picture: ${report}")
endif()
