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
    # Headers are included by their path from the tree's top ("netkit/NKQueryStringPair.h"), by the
    # tree's own code and by a project that embeds the tree alike.
    target_include_directories(${ARG_NAME} PUBLIC ${TANDREL_SOURCE_DIR})
    target_compile_features(${ARG_NAME} PUBLIC cxx_std_20)
    target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS})
    tandrel_unity(${ARG_NAME})
  else()
    # A folder with headers only still names its dependencies.
    add_library(${ARG_NAME} INTERFACE)
    target_include_directories(${ARG_NAME} INTERFACE ${TANDREL_SOURCE_DIR})
    target_compile_features(${ARG_NAME} INTERFACE cxx_std_20)
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

# tandrel_unity(target): with TANDREL_UNITY, the target's sources compile in groups of a few files
# each, one compiler run per group: the headers are parsed once per group and the templates they
# instantiate are compiled once. A group is one translation unit, so a file's unnamed namespace is
# shared with the others of its group. A file's group is a hash of its own path alone: adding or
# removing a file never moves another, so two files that compile apart today never meet, and a new
# file meets the same files in every build (scripts/check-file-local-names keeps file-local names
# apart within a library anyway). gcc's warning about a fixture in an unnamed namespace of an
# included file says nothing about such a group.
set(TANDREL_UNITY_GROUPS 8)
function(tandrel_unity_group source out_var)
  # A source the build writes is named by its place in the build folder, whatever that is called.
  string(FIND "${source}" "${CMAKE_BINARY_DIR}/" in_build)
  if(in_build EQUAL 0)
    file(RELATIVE_PATH relative ${CMAKE_BINARY_DIR} ${source})
    set(relative "build/${relative}")
  else()
    file(RELATIVE_PATH relative ${TANDREL_SOURCE_DIR} ${source})
  endif()
  string(MD5 digest "${relative}")
  string(SUBSTRING ${digest} 0 6 head)
  math(EXPR group "0x${head} % ${TANDREL_UNITY_GROUPS}")
  set(${out_var} "group${group}" PARENT_SCOPE)
endfunction()

function(tandrel_unity target)
  if(TANDREL_UNITY)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE GROUP)
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    foreach(source ${sources})
      if(NOT source MATCHES "\\.(c|cpp)$")
        continue()
      endif()
      if(NOT IS_ABSOLUTE ${source})
        set(source ${source_dir}/${source})
      endif()
      tandrel_unity_group(${source} group)
      set_source_files_properties(${source} TARGET_DIRECTORY ${target} PROPERTIES UNITY_GROUP ${group})
    endforeach()
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
    endif()
  endif()
endfunction()

# tandrel_test_executable(name SOURCES ... DEPS ...): a GoogleTest executable whose tests CTest runs
# one process each, so every test starts with fresh singletons and a fresh device.
function(tandrel_test_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} tandrel_testsupport GTest::gtest GTest::gmock)
  tandrel_unity(${name})
  # Listing a program's tests starts it once; a loaded machine under ThreadSanitizer has taken 96 s
  # for that, so the bound is far above it.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 600
                       PROPERTIES TIMEOUT 300)
endfunction()

# tandrel_embed(sources_var SYMBOL FILE [SIZE bytes]): a C++ source, written at configure time,
# that holds the file's bytes unchanged as `const char SYMBOL[]` (with a NUL after them) and their
# number as `SYMBOL_length`; the source is appended to sources_var. With SIZE, a file of any other
# length stops the configuration: it is not the file the build was made to embed.
function(tandrel_embed sources_var symbol file)
  cmake_parse_arguments(ARG "" "SIZE" "" ${ARGN})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "${file} is missing (scripts/install-deps installs the script dependencies)")
  endif()
  file(SIZE ${file} size)
  if(DEFINED ARG_SIZE AND NOT size EQUAL ARG_SIZE)
    message(FATAL_ERROR "${file} has ${size} bytes, not ${ARG_SIZE}: it is not the file this build embeds")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
  set(output ${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp)
  set(text "// Made by the build from ${file}; do not edit.\n#include <cstddef>\n\nextern const char ${symbol}[];\nextern const std::size_t ${symbol}_length;\nconst char ${symbol}[] =\n    \"${escaped}\";\nconst std::size_t ${symbol}_length = ${size};\n")
  if(EXISTS ${output})
    file(READ ${output} old)
  endif()
  if(NOT "${old}" STREQUAL "${text}")
    file(WRITE ${output} "${text}")
  endif()
  set(${sources_var} ${${sources_var}} ${output} PARENT_SCOPE)
endfunction()

# tandrel_fuzzers(SEEDS tool:Source DEPS ... FUZZERS name:Source ...): with TANDREL_FUZZ, the folder's
# fuzz targets NAME_fuzzer (fuzz/Source.cpp, linked with libFuzzer's main) and the tool that writes
# their seed corpora, one folder per fuzzer in the order given. Each fuzzer is also a test,
# fuzz.NAME, that writes the seeds afresh and runs the fuzzer over them for FUZZ_SECONDS seconds (3
# when unset): a target that no longer builds, or fails on its seeds, fails the build or the run.
function(tandrel_fuzzers)
  if(NOT TANDREL_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "SEEDS" "DEPS;FUZZERS" ${ARGN})
  string(REPLACE ":" ";" seeds ${ARG_SEEDS})
  list(GET seeds 0 seed_tool)
  list(GET seeds 1 seed_source)
  add_executable(${seed_tool} fuzz/${seed_source}.cpp)
  target_link_libraries(${seed_tool} PRIVATE ${ARG_DEPS})
  set(names)
  foreach(pair ${ARG_FUZZERS})
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 name)
    list(APPEND names ${name})
  endforeach()
  set(index 0)
  foreach(pair ${ARG_FUZZERS})
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 name)
    list(GET pair 1 source)
    add_executable(${name}_fuzzer fuzz/${source}.cpp)
    target_link_libraries(${name}_fuzzer PRIVATE ${ARG_DEPS})
    # The target's own code carries the coverage libFuzzer steers by, also where the libraries
    # were built without it (CI's sanitizer build).
    target_compile_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer)
    target_link_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer)
    add_test(NAME fuzz.${name}
             COMMAND bash ${TANDREL_SOURCE_DIR}/scripts/run-fuzzer $<TARGET_FILE:${seed_tool}> ${index}
                     $<TARGET_FILE:${name}_fuzzer> ${names})
    set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz)
    add_dependencies(tandrel-fuzzers ${name}_fuzzer ${seed_tool})
    math(EXPR index "${index} + 1")
  endforeach()
endfunction()
