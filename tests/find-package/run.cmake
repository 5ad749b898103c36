# Installs qel_package into a fresh prefix, then builds the README's example as a consumer
# project against that prefix alone, runs it, and compares its output with the README's.
#
# Without SHARED, BUILD_DIR is installed as it was built. With SHARED, a shared build of the
# library and qelpkg is configured from SOURCE_ROOT first; the test then also checks what that
# library exports and that the installed qelpkg runs from its prefix.
cmake_policy(SET CMP0007 NEW)
foreach(variable SOURCE_ROOT CONSUMER_DIR WORK_DIR CXX_COMPILER)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

if(SHARED)
  set(BUILD_DIR ${WORK_DIR}/shared-build)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_ROOT} -B ${BUILD_DIR}
                          -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
                          -DQEL_PACKAGE_TESTS=OFF -DQEL_PACKAGE_BENCH=OFF
                          -DQEL_PACKAGE_TOOLS=ON -DQEL_PACKAGE_INSTALL=ON
                          -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
                          "-DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --parallel 2
                          --target qel_package qelpkg qelpkg_man
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

# The example is the first cpp block after the README's "## Example" heading, and its output
# the text block after that.
file(READ ${SOURCE_ROOT}/README.md readme)
string(FIND "${readme}" "\n## Example\n" start)
if(start EQUAL -1)
  message(FATAL_ERROR "README.md has no Example section")
endif()
string(SUBSTRING "${readme}" ${start} -1 readme)
function(take_block fence variable)
  string(FIND "${readme}" "\n${fence}\n" open)
  if(open EQUAL -1)
    message(FATAL_ERROR "README.md has no ${fence} block in its Example section")
  endif()
  string(LENGTH "\n${fence}\n" fence_length)
  math(EXPR open "${open} + ${fence_length}")
  string(SUBSTRING "${readme}" ${open} -1 rest)
  string(FIND "${rest}" "\n```\n" close)
  math(EXPR close "${close} + 1")
  string(SUBSTRING "${rest}" 0 ${close} block)
  string(SUBSTRING "${rest}" ${close} -1 rest)
  set(${variable} "${block}" PARENT_SCOPE)
  set(readme "${rest}" PARENT_SCOPE)
endfunction()
take_block("```cpp" example)
take_block("```text" expected_output)

file(COPY ${CONSUMER_DIR}/CMakeLists.txt DESTINATION ${WORK_DIR}/consumer)
file(WRITE ${WORK_DIR}/consumer/main.cpp "${example}")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${WORK_DIR}/consumer -B ${WORK_DIR}/build
                        -DCMAKE_PREFIX_PATH=${prefix}
                        -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
                        "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
                        "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}"
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${WORK_DIR}/build/consumer OUTPUT_VARIABLE output
                COMMAND_ERROR_IS_FATAL ANY)
if(NOT output STREQUAL expected_output)
  message(FATAL_ERROR "the example printed\n${output}\nand the README shows\n${expected_output}")
endif()

set(installed_files share/qel_package/schema/application.capnp
                    share/qel_package/schema/profile.capnp)
if(EXISTS ${prefix}/bin/qelpkg)
  list(APPEND installed_files share/man/man1/qelpkg.1)
endif()
foreach(file ${installed_files})
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "${file} is not installed")
  endif()
endforeach()

if(SHARED)
  # The installed program finds the installed library by itself.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${prefix}/bin/qelpkg
                          --version
                  OUTPUT_VARIABLE version COMMAND_ERROR_IS_FATAL ANY)
  if(NOT version STREQUAL "qelpkg ${VERSION}\n")
    message(FATAL_ERROR "qelpkg --version printed \"${version}\"")
  endif()

  # Only the public API is exported: no internals of the library or of its dependencies,
  # apart from the schema data of the generated accessors.
  file(GLOB library ${prefix}/lib*/libqel_package.so.${VERSION})
  execute_process(COMMAND nm -D --defined-only --demangle ${library}
                  OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "\n" ";" symbols "${symbols}")
  list(LENGTH symbols exported)
  message(STATUS "${library} exports ${exported} symbols")
  list(FILTER symbols INCLUDE REGEX "qel_package::detail::|[^A-Za-z0-9_:](fmt|spdlog|kj|capnp)::")
  list(FILTER symbols EXCLUDE REGEX " capnp::schemas::")
  if(symbols)
    list(JOIN symbols "\n" symbols)
    message(FATAL_ERROR "the shared library exports internals:\n${symbols}")
  endif()

  execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/lib/pkgconfig
                          pkg-config --cflags qel_package
                  OUTPUT_VARIABLE cflags OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "^-I([^ ]*).*" "\\1" include_dir "${cflags}")
  file(REAL_PATH ${include_dir} include_dir)
  file(REAL_PATH ${prefix}/include expected_include_dir)
  if(NOT include_dir STREQUAL expected_include_dir)
    message(FATAL_ERROR "pkg-config gives \"${cflags}\" for a prefix of ${prefix}")
  endif()
endif()
