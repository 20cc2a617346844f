# tandrel_library(NAME target DEPS ... [TEST_DEPS ...] [EXTRA_SOURCES ...] [EXCLUDE file ...]):
# one library of the sources in the calling folder and its subfolders (controls/popover/, …),
# except tests/ and fuzz/ folders, files named in EXCLUDE (relative to the folder; tests too), and
# subfolders with a CMakeLists.txt of their own (libraries of their own, like app/support/).
# The tests/*.cpp of the same folders become one test executable, NAME_tests, linked with the
# test support. DEPS names what the library's own code calls, nothing more.
function(tandrel_library)
  cmake_parse_arguments(ARG "" "NAME" "DEPS;TEST_DEPS;EXTRA_SOURCES;EXCLUDE" ${ARGN})
  tandrel_folder_sources(sources test_sources ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
    list(REMOVE_ITEM test_sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(sources OR ARG_EXTRA_SOURCES)
    add_library(${ARG_NAME} STATIC ${sources} ${ARG_EXTRA_SOURCES})
    target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS})
  else()
    # A folder with headers only still names its dependencies.
    add_library(${ARG_NAME} INTERFACE)
    target_link_libraries(${ARG_NAME} INTERFACE ${ARG_DEPS})
  endif()
  if(test_sources)
    tandrel_test_executable(${ARG_NAME}_tests SOURCES ${test_sources} DEPS ${ARG_NAME} ${ARG_TEST_DEPS})
  endif()
endfunction()

# tandrel_folder_sources(sources_var tests_var folder): the C and C++ sources of the folder's tree
# in two lists, the library's and its tests' (anything under a tests/ folder), leaving out fuzz/
# folders and subfolders that are libraries of their own.
function(tandrel_folder_sources sources_var tests_var folder)
  file(GLOB_RECURSE all CONFIGURE_DEPENDS ${folder}/*.cpp ${folder}/*.c)
  file(GLOB_RECURSE own_lists ${folder}/CMakeLists.txt)
  list(REMOVE_ITEM own_lists ${folder}/CMakeLists.txt)
  set(sources)
  set(tests)
  foreach(file ${all})
    file(RELATIVE_PATH relative ${folder} ${file})
    set(inside_library FALSE)
    foreach(list_file ${own_lists})
      get_filename_component(library_folder ${list_file} DIRECTORY)
      string(FIND "${file}" "${library_folder}/" at)
      if(at EQUAL 0)
        set(inside_library TRUE)
      endif()
    endforeach()
    if(inside_library OR relative MATCHES "(^|/)fuzz/")
      continue()
    elseif(relative MATCHES "(^|/)tests/")
      list(APPEND tests ${file})
    else()
      list(APPEND sources ${file})
    endif()
  endforeach()
  set(${sources_var} ${sources} PARENT_SCOPE)
  set(${tests_var} ${tests} PARENT_SCOPE)
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
