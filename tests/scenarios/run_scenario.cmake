# Runs one scenario script headless in a game folder of its own (the built content
# linked in, an empty save/), so saves and error.log never touch the shared folder:
#   cmake -DARDO=... -DGAME=... -DWORK=... -DSCRIPT=... "-DARGS=..." -P run_scenario.cmake
# The scenario fails when the script fails or anything was written to error.log.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/save)
foreach(dir map data music sound graphics text narration)
  if(EXISTS ${GAME}/${dir})
    file(CREATE_LINK ${GAME}/${dir} ${WORK}/${dir} SYMBOLIC)
  endif()
endforeach()
separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND ${ARDO} --headless --verbose --data ${WORK} ${args} --script ${SCRIPT}
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc)
if(EXISTS ${WORK}/error.log)
  file(READ ${WORK}/error.log log)
  message(FATAL_ERROR "the run logged faults:\n${log}")
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the script failed (exit status ${rc})")
endif()
