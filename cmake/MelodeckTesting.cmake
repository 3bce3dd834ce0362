# The environment every test runs in: no real display, no sound card, and
# nothing of the user's desktop session.
set(MELODECK_TEST_ENV
  "QT_QPA_PLATFORM=offscreen"
  "SDL_AUDIODRIVER=dummy"
  "MELODECK_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
  "MELODECK_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:allocator_may_return_null=1"
  "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")

# melodeck_add_gtest(NAME name SOURCES a.cpp b.cpp LIBS lib...)
# One GoogleTest executable; its cases are discovered one by one.
function(melodeck_add_gtest)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  melodeck_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  # Discovered tests lose list-valued properties, so the environment travels
  # as a launcher instead; it then also applies while the cases are listed.
  set_target_properties(${T_NAME} PROPERTIES
    CROSSCOMPILING_EMULATOR "/usr/bin/env;${MELODECK_TEST_ENV};${T_ENV}")
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# melodeck_add_qtest(NAME name SOURCES a.cpp LIBS lib...)
# One QtTest executable run as a single CTest test.
function(melodeck_add_qtest)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 180)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  melodeck_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "${MELODECK_TEST_ENV};${T_ENV}")
endfunction()
