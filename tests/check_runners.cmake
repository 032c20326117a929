# Checks the test runners themselves, where their scratch folders are unusual: under a temporary
# folder whose path holds an apostrophe and a blank, a case with a gen script must pass for both
# e2e_runner and trace_agreement; and where no scratch folder can be made, both must say so and
# fail with status 2 instead of crashing.
# Usage: cmake -DE2E_RUNNER=... -DTRACE_AGREEMENT=... -DRELALGRUN=... -DRELALGTRACE=...
#              -DWORK=<scratch folder of this check> -P check_runners.cmake
cmake_minimum_required(VERSION 3.25)

set(odd "${WORK}/it's here")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${odd}/tmp" "${odd}/case")
file(WRITE "${odd}/case/gen" "printf 'emp\\n\\nemp(a int)\\n1\\n' > in.txt\n")
file(WRITE "${odd}/case/out" "emp\n\nemp(a int)\n1\n\nemp(a int)\n1\n")

function(expect what status)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ARGN}
                  RESULT_VARIABLE actual OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT actual STREQUAL status)
    message(SEND_ERROR "${what}: exit status ${actual}, expected ${status}\n${out}${err}")
  elseif(status STREQUAL "2" AND NOT err MATCHES "cannot make a scratch folder")
    message(SEND_ERROR "${what}: no word on the scratch folder\n${err}")
  endif()
endfunction()

expect("e2e_runner under an apostrophe" 0
       "TMPDIR=${odd}/tmp" "${E2E_RUNNER}" "${RELALGRUN}" "${odd}/case")
expect("trace_agreement under an apostrophe" 0
       "TMPDIR=${odd}/tmp" "${TRACE_AGREEMENT}" "${RELALGRUN}" "${RELALGTRACE}" "${odd}/case")
# /proc is a folder in which nobody, root included, can make one.
expect("e2e_runner without a scratch folder" 2
       "TMPDIR=/proc" "${E2E_RUNNER}" "${RELALGRUN}" "${odd}/case")
expect("trace_agreement without a scratch folder" 2
       "TMPDIR=/proc" "${TRACE_AGREEMENT}" "${RELALGRUN}" "${RELALGTRACE}" "${odd}/case")
file(REMOVE_RECURSE "${WORK}")
