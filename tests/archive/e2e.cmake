# rukotool's archive commands end to end: pack → extract gives the tree back byte for byte (also
# from a standalone title), and damaged or escaping archives are refused without writing outside
# the target folder; the player finds its project in a title folder and in a standalone title.
foreach(case roundtrip standalone damaged escape player)
  add_test(NAME rukotool_archive_${case}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DPLAYER=$<TARGET_FILE:rukoplay> -DCASE=${case}
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/archive_e2e_${case}
            -P ${CMAKE_CURRENT_LIST_DIR}/archive_e2e.cmake)
endforeach()
