# vokar_add_program(NAME SOURCES... [LIBRARIES libs...] [NO_INSTALL]): a
# program of the suite. It carries the version record the speech client reads
# from the file it starts, lands in the build's bin folder and is installed
# with the others; a program with a window links the window kit (vokar_app
# among its libraries), which gives it Qt's Polish texts, its about box,
# system menu, tray icon, help page and its clean end. Its help page and
# manual pages come from its guide in docs/ (docs/CMakeLists.txt).
function(vokar_add_program name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_INSTALL" "" "SOURCES;LIBRARIES")
  add_executable(${name} ${arg_SOURCES} ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES})
  vokar_add_version_record(${name})
  if(NOT arg_NO_INSTALL)
    install(TARGETS ${name})
  endif()
endfunction()

# vokar_add_strings(TARGET FILE.strings): a program's string table and plain
# identifiers, written once in FILE (see common/app/tools/StringsCompiler.cpp),
# made by the build into STEM.h (the names with their numbers) and STEM.cpp
# (the texts), which TARGET compiles and publishes.
function(vokar_add_strings target file)
  get_filename_component(stem ${file} NAME_WE)
  get_filename_component(source ${file} ABSOLUTE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/strings)
  add_custom_command(OUTPUT ${dir}/${stem}.h ${dir}/${stem}.cpp
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND vokar_strings ${source} ${dir}/${stem}.h ${dir}/${stem}.cpp
    DEPENDS ${source} vokar_strings
    COMMENT "Making the string table of ${file}")
  target_sources(${target} PRIVATE ${dir}/${stem}.cpp ${dir}/${stem}.h)
  target_include_directories(${target} PUBLIC ${dir})
  target_link_libraries(${target} PUBLIC vokar_strings_support)
endfunction()
