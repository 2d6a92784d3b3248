# Reads archives that archive_job_test packed under Wine with the native 7zz: the stored
# names, in order and with "/" separators, and an integrity test of every member.
# -DPREFIX=<the test's Wine prefix>
function(check_archive test expected)
  file(GLOB archive "${PREFIX}/drive_c/users/*/Temp/mailstow-jobs/${test}/backup.ebk")
  if(NOT archive)
    message(FATAL_ERROR "no archive left by archive_job_test's ${test} below ${PREFIX}")
  endif()
  execute_process(COMMAND 7zz l -slt -tzip ${archive} OUTPUT_VARIABLE listing
                  RESULT_VARIABLE listed)
  if(NOT listed EQUAL 0)
    message(FATAL_ERROR "7zz cannot list ${archive}:\n${listing}")
  endif()
  string(REGEX MATCHALL "\nPath = [^\n]*" paths "${listing}")
  list(TRANSFORM paths REPLACE "\nPath = " "")
  list(REMOVE_AT paths 0)  # the archive itself
  if(NOT paths STREQUAL expected)
    message(FATAL_ERROR "stored names: ${paths}\nexpected: ${expected}")
  endif()
  execute_process(COMMAND 7zz t -tzip ${archive} OUTPUT_VARIABLE tested
                  RESULT_VARIABLE test_result)
  if(NOT test_result EQUAL 0)
    message(FATAL_ERROR "7zz finds errors in ${archive}:\n${tested}")
  endif()
endfunction()

check_archive(EventsFollowTheEntriesAndProgressEndsAtTheTop
              "D1/F.txt;D2/large.bin;D3/x/src/two.txt;D4/three.txt")
# Written without the sources that were missing; a later failed pack left it as it was.
check_archive(MissingSourcesAreLeftOutAndAVanishingOneFailsThePack "K/mail.dbx;L/later.txt")
