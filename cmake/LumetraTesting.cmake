# Tests. A test suite is one folder under tests/ built into one executable:
#   name_test.cpp         portable: runs natively (under the sanitizers) and
#                         as a Windows program under Wine
#   name_win32_test.cpp   Windows only, under Wine
#   *.rc                  the suite's own resources (Windows only)
# On the host every GoogleTest case becomes a ctest test ("host." prefix). Under
# Wine each suite is one ctest test ("wine." prefix) that needs the Wine test
# bed (private prefix, persistent wineserver, headless two-monitor X server),
# started and stopped by the fixture below, and runs one at a time.

find_package(GTest REQUIRED)
include(GoogleTest)

if(LUMETRA_WIN32)
  set(LUMETRA_TESTBED_DIR "${CMAKE_BINARY_DIR}/testbed")
  set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/tools/wine-run.sh;${LUMETRA_TESTBED_DIR}")

  add_test(NAME wine.testbed.start
           COMMAND "${PROJECT_SOURCE_DIR}/tools/wine-testbed.sh" start "${LUMETRA_TESTBED_DIR}")
  set_tests_properties(wine.testbed.start PROPERTIES FIXTURES_SETUP wine RESOURCE_LOCK wine LABELS wine)
  add_test(NAME wine.testbed.stop
           COMMAND "${PROJECT_SOURCE_DIR}/tools/wine-testbed.sh" stop "${LUMETRA_TESTBED_DIR}")
  set_tests_properties(wine.testbed.stop PROPERTIES FIXTURES_CLEANUP wine RESOURCE_LOCK wine LABELS wine)

  add_test(NAME win32.imports COMMAND "${PROJECT_SOURCE_DIR}/tools/check-imports.sh" "${CMAKE_BINARY_DIR}")
  set_tests_properties(win32.imports PROPERTIES LABELS win32)
endif()

# lumetra_test_suite(<name> LIBS targets... [TIMEOUT seconds])
function(lumetra_test_suite name)
  cmake_parse_arguments(T "" "TIMEOUT" "LIBS" ${ARGN})
  file(GLOB all CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp")
  set(sources "")
  foreach(f IN LISTS all)
    get_filename_component(stem "${f}" NAME_WE)
    if(NOT LUMETRA_WIN32 AND stem MATCHES "_win32_test$")
      continue()
    endif()
    list(APPEND sources "${f}")
  endforeach()
  if(NOT sources)
    return()
  endif()
  if(LUMETRA_WIN32)
    file(GLOB resources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.rc")
    list(APPEND sources ${resources})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()

  set(exe "${name}_tests")
  add_executable(${exe} ${sources})
  target_link_libraries(${exe} PRIVATE ${T_LIBS} lumetra_testing GTest::gmock GTest::gtest GTest::gtest_main)
  target_compile_definitions(${exe} PRIVATE
    LUMETRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    LUMETRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(LUMETRA_WIN32)
    add_test(NAME wine.${name} COMMAND ${exe} --gtest_brief=1)
    set_tests_properties(wine.${name} PROPERTIES
      FIXTURES_REQUIRED wine RESOURCE_LOCK wine LABELS wine TIMEOUT ${T_TIMEOUT})
  else()
    gtest_discover_tests(${exe} TEST_PREFIX "host." DISCOVERY_MODE PRE_TEST
      PROPERTIES LABELS host TIMEOUT ${T_TIMEOUT})
  endif()
endfunction()
