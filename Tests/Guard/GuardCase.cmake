# One case of the test guard: runs `sh -c SCRIPT` under it, with CTest's own
# timeout far above LIMIT, and checks how the guard ended, what it said, that
# it came back within WITHIN seconds although a process held its output open,
# and that no process it named is still alive.
#   cmake -DGUARD=... -DLIMIT=s -DSCRIPT=... -DRESULT=... [-DSAYS=regex] -DWITHIN=s -P GuardCase.cmake
string(TIMESTAMP started "%s")
execute_process(COMMAND ${GUARD} --limit ${LIMIT} --grace 1 -- sh -c "${SCRIPT}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 120)
string(TIMESTAMP ended "%s")
math(EXPR took "${ended} - ${started}")
message("guard ended with '${result}' after ${took} s, saying:\n${output}")

if(NOT "${result}" MATCHES "^${RESULT}$")
  message(FATAL_ERROR "the guard should have ended with '${RESULT}'")
endif()
if(DEFINED SAYS AND NOT output MATCHES "${SAYS}")
  message(FATAL_ERROR "the guard should have said something matching '${SAYS}'")
endif()
if(took GREATER WITHIN)
  message(FATAL_ERROR "the guard took ${took} s, more than ${WITHIN}")
endif()
string(REGEX MATCHALL "pid [0-9]+ \\(" named "${output}")
foreach(entry IN LISTS named)
  string(REGEX MATCH "[0-9]+" pid "${entry}")
  if(EXISTS /proc/${pid}/cmdline)
    file(READ /proc/${pid}/cmdline still)
    if(still MATCHES "sleep")
      message(FATAL_ERROR "process ${pid}, which the guard named, is still running")
    endif()
  endif()
endforeach()
