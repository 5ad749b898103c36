# Compiles SOURCE as it stands, which must succeed, then once with BREAK defined to each value
# of BREAKS, each of which must fail with an error matching EXPECT. The first compile proves
# that the others fail for the reason the test is about.
foreach(variable COMPILER SOURCE BREAKS EXPECT INCLUDE_DIRS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

string(REPLACE "," ";" include_dirs "${INCLUDE_DIRS}")
list(TRANSFORM include_dirs PREPEND "-I")
set(command ${COMPILER} -std=c++20 -fsyntax-only -Wall -Wextra -Werror ${include_dirs} ${SOURCE})

execute_process(COMMAND ${command} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${SOURCE} does not compile as it stands:\n${errors}")
endif()
string(REPLACE "," ";" breaks "${BREAKS}")
foreach(break ${breaks})
  execute_process(COMMAND ${command} -DBREAK=${break} RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(status EQUAL 0)
    message(FATAL_ERROR "${SOURCE} compiles with BREAK=${break}")
  endif()
  if(NOT errors MATCHES "${EXPECT}")
    message(FATAL_ERROR "${SOURCE} with BREAK=${break} fails, but not with \"${EXPECT}\":\n${errors}")
  endif()
endforeach()
