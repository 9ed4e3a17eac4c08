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
run(${MAKEMEDIA} wma 44100 2 500 ${WORK}/title/voice.wma 100)

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

# The same run gives the same variables and the same sound.
foreach(n 1 2)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${TITLE}/expected.json ${WORK}/vars${n}.json
                  RESULT_VARIABLE differ)
  if(differ)
    file(READ ${WORK}/vars${n}.json got)
    message(FATAL_ERROR "the variables differ from ${TITLE}/expected.json; got:\n${got}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/out1.wav ${WORK}/out2.wav RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "two runs wrote different sound")
endif()

file(READ ${WORK}/vars1.json vars)
foreach(name wavStart oggStart midiStart songEnd wavEnd wmaStart firstWmaEnd replayStart wmaEnd ended)
  string(JSON ${name} GET "${vars}" ${name})
endforeach()

# The output frame a game time (ms) stands at: floor(ms × 44.1).
function(frame_at ms out)
  math(EXPR frame "${ms} * 441 / 10")
  set(${out} ${frame} PARENT_SCOPE)
endfunction()

run(${AUDIOCHECK} frames ${WORK}/out1.wav)
string(STRIP "${last_output}" frames)
frame_at(${ended} wanted)
if(NOT frames EQUAL wanted)
  message(FATAL_ERROR "the output holds ${frames} frames; ${ended} ms of play make ${wanted}")
endif()

# A sound started in the frame at `start` plays from that frame's output frame on; its end is
# seen in the first frame (15 ms apart) by whose time its last frame was consumed, and the end
# handler runs in the frame after that.
function(expect_end what start frames handled)
  frame_at(${start} first)
  math(EXPR last "${first} + ${frames}")
  set(t ${start})
  frame_at(${t} f)
  while(f LESS last)
    math(EXPR t "${t} + 15")
    frame_at(${t} f)
  endwhile()
  math(EXPR t "${t} + 15")
  if(NOT handled EQUAL t)
    message(FATAL_ERROR "the end of ${what} was handled at ${handled} ms, not at ${t}")
  endif()
endfunction()
expect_end(tone.wav ${wavStart} 22050 ${wavEnd})
# The song ends with its last event before the end of its track, at 1250 ms.
expect_end(song.mid ${midiStart} 55125 ${songEnd})

# Where a sound plays alone and unfaded, the output is ffmpeg's decode of it from its start, and
# a repeat goes on from the repeat position at the end of the data.
function(expect_decode source at ref_ms length_ms)
  run(${AUDIOCHECK} correlate ${WORK}/out1.wav ${WORK}/${source}.raw ${at} ${ref_ms} ${length_ms})
  string(STRIP "${last_output}" result)
  message(STATUS "${source} at frame ${at} from ${ref_ms} ms: correlation and lag ${result}")
endfunction()
if(FFMPEG)
  foreach(source tone.wav loop.ogg voice.wma)
    run(${FFMPEG} -v error -i ${WORK}/title/${source} -f s16le -ac 2 -ar 44100 -y ${WORK}/${source}.raw)
  endforeach()
  frame_at(${wavStart} at)
  expect_decode(tone.wav ${at} 0 500)
  frame_at(${oggStart} at)
  expect_decode(loop.ogg ${at} 0 1000)
  math(EXPR seam "${at} + 44100")
  expect_decode(loop.ogg ${seam} 400 600)
  math(EXPR seam "${seam} + 26460")
  expect_decode(loop.ogg ${seam} 400 600)
  frame_at(${wmaStart} at)
  expect_decode(voice.wma ${at} 0 450)
  # A WMA file decodes to fewer frames than its header says: the end comes after the last one.
  file(SIZE ${WORK}/voice.wma.raw bytes)
  math(EXPR frames "${bytes} / 4")
  expect_end(voice.wma ${wmaStart} ${frames} ${firstWmaEnd})
  expect_end("voice.wma played again" ${replayStart} ${frames} ${wmaEnd})
  frame_at(${replayStart} at)
  expect_decode(voice.wma ${at} 0 450)
else()
  message(STATUS "no ffmpeg: the sounds are not compared with an independent decode")
endif()

# ffmpeg does not play MIDI: the song is checked to sound from its start on.
if(EXISTS ${soundfont})
  run(${AUDIOCHECK} onset ${WORK}/out1.wav ${midiStart} 50)
  string(STRIP "${last_output}" onset)
  frame_at(${midiStart} first)
  math(EXPR late "${onset} - ${first}")
  if(late LESS 0 OR late GREATER 441)
    message(FATAL_ERROR "the song sounds ${late} frames after its start, not within 10 ms")
  endif()
endif()
