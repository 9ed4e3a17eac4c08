# Builds tests/titles/sound with the sounds makemedia writes, plays it headless twice and checks
# what it left: the variables (expected.json), the --audio-out files (identical, exactly
# floor(ms × 44.1) frames for the virtual time) and where each sound that plays alone and unfaded
# lies in them, against ffmpeg's decode of the source. TOOL, PLAYER, MAKEMEDIA, AUDIOCHECK, FFMPEG
# (may be FFMPEG_PROGRAM-NOTFOUND), TITLE and WORK are given.
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nstatus ${status}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
  set(last_error "${err}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/src)
file(GLOB sources ${TITLE}/*.rss)
file(COPY ${sources} DESTINATION ${WORK}/src)
file(COPY_FILE ${TITLE}/title.cfg ${WORK}/src/title.ini)
run(${TOOL} build ${WORK}/src -o ${WORK}/title)
# tone.wav: 500 ms of 44.1 kHz s16 with clicks; loop.ogg: 1000 ms of 48 kHz Vorbis with clicks.
run(${MAKEMEDIA} wav-s16 44100 2 500 ${WORK}/title/tone.wav 100 300)
run(${MAKEMEDIA} vorbis 48000 2 1000 ${WORK}/title/loop.ogg 200 500 800)
run(${MAKEMEDIA} smf ${WORK}/title/song.mid)

set(soundfont /usr/share/sounds/sf2/TimGM6mb.sf2)
set(play ${PLAYER} --headless --until 20000)
if(EXISTS ${soundfont})
  list(APPEND play --soundfont ${soundfont})
else()
  message(STATUS "no ${soundfont} (timgm6mb-soundfont): the song is not measured")
endif()
foreach(n 1 2)
  run(${play} --dump-vars ${WORK}/vars${n}.json --audio-out ${WORK}/out${n}.wav ${WORK}/title)
  if(EXISTS ${soundfont} AND NOT last_error STREQUAL "")
    message(FATAL_ERROR "unexpected messages:\n${last_error}")
  endif()
endforeach()
