# Test helpers shared by every folder: googletest for both builds, Wine for Windows binaries.
enable_testing()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -Wno-error)
target_compile_options(gtest_main PRIVATE -Wno-error)

if(MAILSTOW_WINDOWS)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(MAILSTOW_WINE_ARCH win64)
  else()
    set(MAILSTOW_WINE_ARCH win32)
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
  add_test(NAME wine.prefix COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --boot)
  set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP wineprefix TIMEOUT 300)
endif()

# mailstow_test(NAME SOURCES ... [LIBS ...] [FRESH_PREFIX] [SERIAL] [TIMEOUT s] [LABELS ...]
#               [SPLIT suffix ...])
# Builds a googletest program and registers it. Windows programs run under Wine in the
# build's prefix; FRESH_PREFIX gives each run a clean profile and registry, with a Wine
# server of its own, so that such tests see only their own windows and may run side by side.
# SERIAL (tests that show windows) keeps a test of the shared prefix from overlapping with the
# other SERIAL ones; in a fresh prefix it needs no lock. SPLIT registers one run per suffix
# instead (NAME.suffix, the tests whose names end in "/suffix"), so that each run stays short.
function(mailstow_test name)
  cmake_parse_arguments(T "FRESH_PREFIX;SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV;SPLIT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main)
  set(runs ${name})
  if(T_SPLIT)
    set(runs)
    foreach(suffix ${T_SPLIT})
      add_test(NAME ${name}.${suffix} COMMAND ${name} --gtest_filter=*/${suffix})
      list(APPEND runs ${name}.${suffix})
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(env ${T_ENV})
  if(MAILSTOW_WINDOWS)
    set_tests_properties(${runs} PROPERTIES FIXTURES_REQUIRED wineprefix)
    list(APPEND env "MAILSTOW_DIST=${MAILSTOW_DIST_DIR}")
  else()
    list(APPEND env "ASAN_OPTIONS=detect_leaks=1" "UBSAN_OPTIONS=print_stacktrace=1")
  endif()
  foreach(run ${runs})
    set(run_env ${env})
    # Each run of its own prefix, so that split runs can go side by side.
    if(MAILSTOW_WINDOWS AND T_FRESH_PREFIX)
      list(APPEND run_env "MAILSTOW_PREFIX=${run}")
    endif()
    set_tests_properties(${run} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}"
                                           ENVIRONMENT "${run_env}")
  endforeach()
  if(T_SERIAL AND NOT T_FRESH_PREFIX)
    set_tests_properties(${runs} PROPERTIES RESOURCE_LOCK desktop)
  endif()
endfunction()

# Copies a built target into the program folder that tests and the demo use.
function(mailstow_dist target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MAILSTOW_DIST_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${MAILSTOW_DIST_DIR}/)
endfunction()

# mailstow_fuzz_test(NAME SOURCES ... SECONDS s MAX_LEN n [SEEDS folder])
# A libFuzzer target with the code under test compiled in (so coverage reaches it), run by
# ctest for a bounded time. New inputs go into a corpus folder of the build.
function(mailstow_fuzz_test name)
  cmake_parse_arguments(F "" "SECONDS;MAX_LEN;SEEDS" "SOURCES" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus/${name})
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name} COMMAND ${name} -max_total_time=${F_SECONDS} -max_len=${F_MAX_LEN}
                                ${corpus} ${F_SEEDS})
  math(EXPR timeout "${F_SECONDS} * 4")
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT ${timeout})
endfunction()
