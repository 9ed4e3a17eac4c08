# End-to-end checks of the graphics tools; each brom_/wipe_ list adds its own tests.
file(GLOB graphics_e2e_lists "${CMAKE_CURRENT_LIST_DIR}/*_e2e.cmake")
foreach(list IN LISTS graphics_e2e_lists)
  include(${list})
endforeach()
