# The test support every test can use: TestFolder.h gives each test a folder
# of its own under the build's test folder, PrivateUser.h the environment of a
# user of the test's own.
add_library(vokar_test_support INTERFACE)
target_include_directories(vokar_test_support INTERFACE ${PROJECT_SOURCE_DIR}/testing)

# The main of every test program (in place of GoogleTest's): the program's own
# folder, a private user for every test, and nothing left behind however the
# program ends (testing/TestRun.h).
add_library(vokar_test_main STATIC ${PROJECT_SOURCE_DIR}/testing/TestMain.cpp ${PROJECT_SOURCE_DIR}/testing/TestRun.cpp)
target_link_libraries(vokar_test_main PUBLIC vokar_test_support GTest::gtest)

# GoogleTest's and GoogleMock's headers, parsed once for every test program
# (they are a third of a test file's build): the test programs are built with
# the flags this object has (-O1, position-independent as Qt wants), so that
# each can use the precompiled headers.
set(VOKAR_TEST_FLAGS $<$<NOT:$<CONFIG:Debug>>:-O1> -fPIC)
add_library(vokar_test_headers OBJECT ${PROJECT_SOURCE_DIR}/testing/TestHeaders.cpp)
target_link_libraries(vokar_test_headers PRIVATE GTest::gtest GTest::gmock)
target_compile_options(vokar_test_headers PRIVATE ${VOKAR_TEST_FLAGS})
target_precompile_headers(vokar_test_headers PRIVATE <gtest/gtest.h> <gmock/gmock.h>)

# vokar_add_tests(PREFIX DIR LIBS... [PROGRAMS NAME=target...]
#                 [DEFINITIONS NAME=value...] [INCLUDES folder...]): one
# GoogleTest executable per DIR/*.cpp, so that each test file builds and fails
# on its own. A test that runs programs of the suite names them under
# PROGRAMS: each is built before the test, and NAME is defined in the test as
# the program's path ("VOKAR_SERVER=vokar" gives VOKAR_SERVER="/.../bin/vokar").
function(vokar_add_tests prefix dir)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "PROGRAMS;DEFINITIONS;INCLUDES")
  file(GLOB test_sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(source ${test_sources})
    get_filename_component(stem ${source} NAME_WE)
    set(target ${prefix}_${stem})
    add_executable(${target} ${source})
    # A test program's own file is mostly test macros and matchers, which the
    # optimiser takes long over: it is built at -O1 (the code it tests keeps
    # the build's optimisation), with the precompiled test headers.
    target_compile_options(${target} PRIVATE ${VOKAR_TEST_FLAGS})
    target_precompile_headers(${target} REUSE_FROM vokar_test_headers)
    target_link_libraries(${target} PRIVATE ${arg_UNPARSED_ARGUMENTS} vokar_test_support vokar_test_main
                                            GTest::gtest GTest::gmock)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    foreach(program ${arg_PROGRAMS})
      string(REPLACE "=" ";" pair ${program})
      list(GET pair 0 variable)
      list(GET pair 1 program_target)
      add_dependencies(${target} ${program_target})
      target_compile_definitions(${target} PRIVATE ${variable}="$<TARGET_FILE:${program_target}>")
    endforeach()
    if(arg_DEFINITIONS)
      target_compile_definitions(${target} PRIVATE ${arg_DEFINITIONS})
    endif()
    if(arg_INCLUDES)
      target_include_directories(${target} PRIVATE ${arg_INCLUDES})
    endif()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "VOKAR_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp"
                 ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=set:offscreen")
  endforeach()
endfunction()

# Adds every subfolder of the current folder that holds a CMakeLists.txt.
function(vokar_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
