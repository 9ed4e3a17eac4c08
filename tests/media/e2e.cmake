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

# A title that plays sounds headless: its --audio-out is measured against independent decodes.
add_executable(audiocheck ${CMAKE_CURRENT_LIST_DIR}/tool/audiocheck.cpp)
find_program(FFMPEG_PROGRAM ffmpeg)
add_test(NAME title_sound
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:rukotool> -DPLAYER=$<TARGET_FILE:rukoplay>
          -DMAKEMEDIA=$<TARGET_FILE:makemedia> -DAUDIOCHECK=$<TARGET_FILE:audiocheck>
          -DFFMPEG=${FFMPEG_PROGRAM} -DTITLE=${PROJECT_SOURCE_DIR}/tests/titles/sound
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/titles/sound -P ${CMAKE_CURRENT_LIST_DIR}/run_sound_title.cmake)
