# Tests the archives that auto_schedule_run_test's unattended run wrote under Wine with the
# native 7zz: each one opens and tests OK with the stored password, and fails with another.
# -DPREFIX=<the test's Wine prefix>
file(GLOB archives "${PREFIX}/drive_c/ScheduledBackups/*.ebk")
list(LENGTH archives count)
if(NOT count EQUAL 2)
  message(FATAL_ERROR "expected two archives below ${PREFIX}/drive_c/ScheduledBackups, found: ${archives}")
endif()
foreach(archive IN LISTS archives)
  execute_process(COMMAND 7zz t -tzip -pSched-7 ${archive} OUTPUT_VARIABLE tested
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "7zz finds errors in ${archive}:\n${tested}")
  endif()
  execute_process(COMMAND 7zz t -tzip -pwrong ${archive} OUTPUT_VARIABLE tested
                  RESULT_VARIABLE result)
  if(result EQUAL 0)
    message(FATAL_ERROR "${archive} opens without its password:\n${tested}")
  endif()
  message(STATUS "7zz tests ${archive} OK")
endforeach()
