# The program's options where a long has 32 bits: src/game/main.cpp built with -m32 over
# a stand-in for the game (options_m32_stub.cc) must take every seed of 0 to 4294967295.
#   cmake -DCXX=... -DSRC=... -DWORK=... -P options_m32.cmake
# Skipped (the output says so) where the compiler has no 32-bit libraries.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/probe.cc "int main() { return sizeof(long) == 4 ? 0 : 1; }\n")
execute_process(COMMAND ${CXX} -m32 ${WORK}/probe.cc -o ${WORK}/probe RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 0)
  message("no 32-bit build here: skipped")
  return()
endif()
execute_process(COMMAND ${CXX} -m32 -std=c++20 -Wall -Wextra -Werror -Wno-unused-parameter -DARDO_VERSION="test"
    -I${SRC}/src ${SRC}/tests/game/options_m32_stub.cc ${SRC}/src/game/main.cpp -o ${WORK}/options32
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "main.cpp does not build with -m32:\n${err}")
endif()
function(expect want_rc want_out)
  execute_process(COMMAND ${WORK}/options32 ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL want_rc)
    message(FATAL_ERROR "ardo ${ARGN}: exit status ${rc}, not ${want_rc}\n${out}${err}")
  endif()
  string(FIND "${out}" "${want_out}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "ardo ${ARGN}: \"${out}\" lacks \"${want_out}\"")
  endif()
endfunction()
expect(0 "long 4 bytes, seed 4294967295, frames 1000000000, script numbers read 4294967295 -9223372036854775808"
  --seed 4294967295 --frames 1000000000)
expect(0 "seed 1," --seed 1)
expect(0 "seed 0," --seed 0)
expect(2 "" --seed 4294967296)
expect(2 "" --seed -1)
message("32-bit long: every seed is taken")
