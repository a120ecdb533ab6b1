# vokar_add_fuzzer(NAME SOURCE LIBS...) builds a libFuzzer target with
# AddressSanitizer when VOKAR_FUZZ is on and the compiler is clang.
function(vokar_add_fuzzer name source)
  if(NOT VOKAR_FUZZ)
    return()
  endif()
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VOKAR_FUZZ needs clang (CXX=clang++)")
  endif()
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()

# With VOKAR_FUZZ the libraries themselves are instrumented too.
if(VOKAR_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
