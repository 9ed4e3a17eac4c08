# rukotool image → render must give back the pixels (and alpha) of the input: the PNG rendered
# from the layered image is byte for byte the PNG rendered from the input itself, and a second
# image → render of that PNG changes nothing. A palettised BMP and a scrambled copy take the same
# path.
foreach(input codec_debian_logo.png codec_pilrc_1bit.bmp)
  add_test(NAME rukotool_image_render_reproduces_${input}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DINPUT=${CMAKE_CURRENT_LIST_DIR}/${input}
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/brom_e2e_${input}
            -P ${CMAKE_CURRENT_LIST_DIR}/brom_e2e_roundtrip.cmake)
endforeach()
