# Replays the qelpkg session of the README in a scratch directory holding a copy of
# examples/: each "$ " line runs in the shell with QELPKG's directory first on the PATH, and
# must succeed and print exactly the lines that follow it.
foreach(variable SOURCE_ROOT QELPKG WORK_DIR)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
file(COPY ${SOURCE_ROOT}/examples DESTINATION ${WORK_DIR})
get_filename_component(qelpkg_dir ${QELPKG} DIRECTORY)

file(READ ${SOURCE_ROOT}/README.md readme)
string(FIND "${readme}" "\n## The `qelpkg` tool\n" start)
string(SUBSTRING "${readme}" ${start} -1 readme)
string(FIND "${readme}" "\n```console\n" open)
if(start EQUAL -1 OR open EQUAL -1)
  message(FATAL_ERROR "README.md has no qelpkg session")
endif()
math(EXPR open "${open} + 12")
string(SUBSTRING "${readme}" ${open} -1 readme)
string(FIND "${readme}" "\n```\n" close)
string(SUBSTRING "${readme}" 0 ${close} session)
string(REPLACE "\n" ";" lines "${session}")

# Runs the pending command and compares what it printed with the lines collected for it.
function(check_pending)
  if(NOT DEFINED pending)
    return()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "PATH=${qelpkg_dir}:$ENV{PATH}"
                          sh -c "${pending}"
                  WORKING_DIRECTORY ${WORK_DIR}
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "\"${pending}\" failed (${status}):\n${errors}")
  endif()
  if(NOT output STREQUAL expected)
    message(FATAL_ERROR "\"${pending}\" printed\n${output}\nand the README shows\n${expected}")
  endif()
endfunction()

foreach(line IN LISTS lines)
  if(line MATCHES "^\\$ (.*)")
    check_pending()
    set(pending "${CMAKE_MATCH_1}")
    set(expected "")
  else()
    string(APPEND expected "${line}\n")
  endif()
endforeach()
check_pending()
