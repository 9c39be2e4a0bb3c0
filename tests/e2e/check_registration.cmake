# The guard: every test the built end-to-end program lists is run by a ctest test, and every
# ctest test's filter selects a test. Included by the script CMake generates, which sets
# ZN_LIST_COMMAND (the program under its runner, with --gtest_list_tests) and ZN_FILTERS (one
# registered filter per line).
include(${CMAKE_CURRENT_LIST_DIR}/registration.cmake)

execute_process(COMMAND ${ZN_LIST_COMMAND} OUTPUT_VARIABLE listing ERROR_VARIABLE errors
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot list the tests (${result}): ${ZN_LIST_COMMAND}\n${errors}")
endif()
zn_gtest_names_in_listing(listed "${listing}")
if(NOT listed)
  message(FATAL_ERROR "the program lists no test:\n${listing}")
endif()
string(REPLACE "\n" ";" filters "${ZN_FILTERS}")
zn_registration_problems(problems "${listed}" "${filters}")
if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "end-to-end tests and ctest tests differ:\n  ${text}\n"
                      "Reconfigure the build (cmake --preset windows); a test CMake cannot read "
                      "from its source (a macro other than TEST or TEST_F) needs a zn_add_e2e line.")
endif()
list(LENGTH listed count)
list(LENGTH filters registered)
message("${count} end-to-end tests, run by ${registered} ctest tests")
