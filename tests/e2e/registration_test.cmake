# The rules of the end-to-end registration on made-up sources and listings:
#   cmake -P registration_test.cmake
include(${CMAKE_CURRENT_LIST_DIR}/registration.cmake)
set(failures 0)
macro(expect what got expected)
  if(NOT "${got}" STREQUAL "${expected}")
    message(SEND_ERROR "${what}: got [${got}], expected [${expected}]")
    math(EXPR failures "${failures} + 1")
  endif()
endmacro()

# Names read from sources: definitions only, however they are spread over lines.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/zn_registration_sample.cpp [[
TEST_F(Setup, NotInstalledYes)
{
}
  TEST(Launcher,  Waits ) {}
TEST_F(
    Setup,
    ALongNameOnItsOwnLine)
// TEST_F(Setup, CommentedOut)
EXPECT_TRUE(TEST_F_LIKE(Setup, NotATest));
static void NOT_A_TEST(Setup, Helper) {}
TEST_P(Param, NotReadHere)
]])
zn_gtest_names_in_sources(names ${CMAKE_CURRENT_BINARY_DIR}/zn_registration_sample.cpp)
file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/zn_registration_sample.cpp)
expect("names in sources" "${names}" "Setup.NotInstalledYes;Launcher.Waits;Setup.ALongNameOnItsOwnLine")

# ctest names: the suite in snake case, then the case as it is.
foreach(row "Setup.NotInstalledYes|setup_NotInstalledYes" "SetupWindow.TakesADrop|setup_window_TakesADrop"
            "Launcher.X2Y|launcher_X2Y" "Ifeo2Redirect.A|ifeo2_redirect_A")
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 name)
  list(GET row 1 expected)
  zn_e2e_test_name(test "${name}")
  expect("ctest name of ${name}" "${test}" "${expected}")
endforeach()

# GoogleTest filters: name, filter, selected?
set(rows
  "Setup.A|Setup.A|TRUE"
  "Setup.AB|Setup.A|FALSE"              # whole names, not prefixes
  "Setup.A|*|TRUE"
  "Setup.A|Setup.*|TRUE"
  "SetupX.A|Setup.*|FALSE"              # the dot is a dot
  "Setup.A|Setup?A|TRUE"
  "Launcher.X|Setup.*:Launcher.*|TRUE"  # any of the positive patterns
  "Setup.B|Setup.*-Setup.B|FALSE"       # unless a negative one matches
  "Setup.C|Setup.*-Setup.B:Setup.D|TRUE"
  "Setup.B|-Setup.B|FALSE"              # no positive pattern: every test but the negatives
  "Other.A|-Setup.B|TRUE"
  "Redirect/Setup.A/0|Redirect/*|TRUE"  # parameterised names
)
foreach(row IN LISTS rows)
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 name)
  list(GET row 1 filter)
  list(GET row 2 expected)
  zn_gtest_filter_selects(selected "${filter}" "${name}")
  expect("filter ${filter} on ${name}" "${selected}" "${expected}")
endforeach()

# The listing GoogleTest prints.
zn_gtest_names_in_listing(listed "Launcher.\n  Waits\n  Exits\nSetup.\n  Yes\r\n  No\nP/Typed/0.  # TypeParam = int\n  Case/1  # GetParam() = 2\n")
expect("names in a listing" "${listed}" "Launcher.Waits;Launcher.Exits;Setup.Yes;Setup.No;P/Typed/0.Case/1")

# The guard's verdicts.
set(listed "Launcher.Waits;Launcher.Exits;Setup.Yes;Setup.No")
zn_registration_problems(problems "${listed}" "Launcher.*;Setup.Yes;Setup.No")
expect("all registered" "${problems}" "")
zn_registration_problems(problems "${listed}" "Launcher.*;Setup.Yes")
expect("one left off" "${problems}" "not registered with ctest: Setup.No")
zn_registration_problems(problems "${listed}" "Launcher.*;Setup.*;Setup.Gone")
expect("one gone" "${problems}" "registered, but the program has no such test: Setup.Gone")
zn_registration_problems(problems "${listed}" "Launcher.*-Launcher.Exits;Setup.*")
expect("excluded by a negative pattern" "${problems}" "not registered with ctest: Launcher.Exits")

if(failures)
  message(FATAL_ERROR "${failures} registration rules broken")
endif()
message("registration rules: all cases passed")
