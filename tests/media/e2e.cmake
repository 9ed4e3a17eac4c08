# The test sounds come from our own encoders (FFmpeg's and libvorbisenc); the makemedia tool
# writes them for the titles and the benchmarks.
pkg_check_modules(VORBISENC REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
if(TARGET test_media)
  target_link_libraries(test_media PRIVATE PkgConfig::VORBISENC PkgConfig::FFMPEG)
endif()
add_executable(makemedia ${CMAKE_CURRENT_LIST_DIR}/makemedia.cpp ${CMAKE_CURRENT_LIST_DIR}/tool/makemedia_main.cpp)
target_include_directories(makemedia PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(makemedia PRIVATE PkgConfig::FFMPEG PkgConfig::VORBISENC)

# rukotool media and midi on made files.
add_test(NAME rukotool_media_and_midi
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/media_e2e.sh $<TARGET_FILE:rukotool> $<TARGET_FILE:makemedia>
          ${CMAKE_CURRENT_BINARY_DIR}/media_e2e)
