# Lets the autopilot play the whole game headless, from the title to the staff roll and the
# title again, in a game folder of its own (the built content linked in, an empty save/):
#   cmake -DARDO=... -DGAME=... -DWORK=... -DSEED=N [-DNOVICE=ON] -P run_autopilot.cmake
# (NOVICE: the autopilot plays as a newcomer, `--novice`).
# It fails when the run fails, when anything was written to error.log, or when the report
# does not show the staff roll and every boss beaten.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/save)
file(GLOB entries LIST_DIRECTORIES true ${GAME}/*)
foreach(entry ${entries})
  get_filename_component(name ${entry} NAME)
  if(IS_DIRECTORY ${entry} AND NOT name STREQUAL "save")
    file(CREATE_LINK ${entry} ${WORK}/${name} SYMBOLIC)
  endif()
endforeach()
set(novice)
if(NOVICE)
  set(novice --novice)
endif()
execute_process(COMMAND ${ARDO} --headless --autopilot ${novice} --seed ${SEED} --data ${WORK}
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(EXISTS ${WORK}/error.log)
  file(READ ${WORK}/error.log log)
  message(FATAL_ERROR "the run logged faults:\n${log}")
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the autopilot failed (exit status ${rc})")
endif()
foreach(want "the staff roll was shown and the title is back" "bosses beaten: 16 22 36 42 50")
  string(FIND "${out}" "${want}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the report lacks \"${want}\"")
  endif()
endforeach()
