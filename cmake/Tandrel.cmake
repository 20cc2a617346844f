# tandrel_library(NAME target DEPS ...): one library of the sources in the calling folder.
# tests/*.cpp of the folder become one test executable, NAME_tests, linked with the test support.
function(tandrel_library)
  cmake_parse_arguments(ARG "" "NAME" "DEPS;TEST_DEPS;EXTRA_SOURCES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(sources OR ARG_EXTRA_SOURCES)
    add_library(${ARG_NAME} STATIC ${sources} ${ARG_EXTRA_SOURCES})
    target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS})
  else()
    # A folder with headers only (or nothing yet) still names its dependencies.
    add_library(${ARG_NAME} INTERFACE)
    target_link_libraries(${ARG_NAME} INTERFACE ${ARG_DEPS})
  endif()
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(test_sources)
    tandrel_test_executable(${ARG_NAME}_tests SOURCES ${test_sources} DEPS ${ARG_NAME} ${ARG_TEST_DEPS})
  endif()
endfunction()

# tandrel_test_executable(name SOURCES ... DEPS ...): a GoogleTest executable whose tests CTest runs
# one process each, so every test starts with fresh singletons and a fresh device.
function(tandrel_test_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} tandrel_testsupport GTest::gtest GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300)
endfunction()
