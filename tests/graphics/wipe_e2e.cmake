# rukotool wipe: the first frame is the old picture, the end is the new one, a rule picture changes
# the frames in between, and bad command lines and files are refused with their status.
add_test(NAME rukotool_wipe_frames
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DDATA=${CMAKE_CURRENT_LIST_DIR}
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/wipe_e2e -P ${CMAKE_CURRENT_LIST_DIR}/wipe_e2e_frames.cmake)
