# Removes an installation of Vokar made with `cmake --install` into a prefix
# of one's own, by the lists the installation wrote beside this script:
#
#   cmake -P ~/.local/share/vokar/uninstall.cmake
#
# Every file of install-manifest.txt goes (a file or a link, never a folder,
# and never anything the list does not name), then every folder of
# install-folders.txt that the installation made and that is empty now.
# Run vkremove first: it takes away what the suite wrote for each user
# (registration, menu entries, start at login), which these lists do not hold.
cmake_minimum_required(VERSION 3.25)

set(here "${CMAKE_CURRENT_LIST_DIR}")
set(manifest "${here}/install-manifest.txt")
set(folders_list "${here}/install-folders.txt")
if(NOT EXISTS "${manifest}")
  message(FATAL_ERROR "Vokar: ${manifest} is missing; without it the installation cannot be told from other files")
endif()
file(STRINGS "${manifest}" files)
set(folders "")
if(EXISTS "${folders_list}")
  file(STRINGS "${folders_list}" folders)
endif()

# A network agent the user enabled keeps a link to its unit in the config
# folder; systemd would complain of it once the unit is gone.
set(config_home "$ENV{XDG_CONFIG_HOME}")
if(NOT IS_ABSOLUTE "${config_home}")
  set(config_home "$ENV{HOME}/.config")
endif()
file(GLOB wants "${config_home}/systemd/user/*.wants/vknetdde.service")
if(wants)
  message(WARNING "Vokar: vknetdde is still enabled; run `systemctl --user disable --now vknetdde` first")
endif()

set(removed 0)
set(mime_databases "")
foreach(file IN LISTS files)
  if(NOT IS_ABSOLUTE "${file}")
    continue()
  endif()
  if(IS_SYMLINK "${file}" OR (EXISTS "${file}" AND NOT IS_DIRECTORY "${file}"))
    file(REMOVE "${file}")
    message(STATUS "Removed: ${file}")
    math(EXPR removed "${removed} + 1")
    if(file MATCHES "^(.*/mime)/packages/[^/]+\\.xml$")
      list(APPEND mime_databases "${CMAKE_MATCH_1}")
    endif()
  endif()
endforeach()

# A MIME database that knew the comment type: while it still holds packages
# of others it is brought up to date; with none left it serves nothing, and
# the files update-mime-database generated in it (by these names, only
# regular files, and the comment type's own description) go, so that its
# folders can go below when the installation made them. Anything else in it
# stays.
set(mime_generated XMLnamespaces aliases generic-icons globs globs2 icons magic mime.cache subclasses treemagic types version)
find_program(update_mime_database update-mime-database)
list(REMOVE_DUPLICATES mime_databases)
foreach(database IN LISTS mime_databases)
  if(IS_SYMLINK "${database}" OR NOT IS_DIRECTORY "${database}")
    continue()
  endif()
  file(GLOB packages "${database}/packages/*.xml")
  if(packages)
    if(update_mime_database)
      execute_process(COMMAND "${update_mime_database}" "${database}" RESULT_VARIABLE ignored OUTPUT_QUIET ERROR_QUIET)
    endif()
    continue()
  endif()
  foreach(name IN LISTS mime_generated ITEMS application/x-remarka-komentarz.xml)
    set(generated "${database}/${name}")
    if(NOT IS_SYMLINK "${generated}" AND EXISTS "${generated}" AND NOT IS_DIRECTORY "${generated}")
      file(REMOVE "${generated}")
      message(STATUS "Removed: ${generated}")
    endif()
  endforeach()
  set(media "${database}/application")
  if(IS_DIRECTORY "${media}" AND NOT IS_SYMLINK "${media}")
    file(GLOB inside LIST_DIRECTORIES true "${media}/*" "${media}/.*")
    list(FILTER inside EXCLUDE REGEX "/\\.\\.?$")
    if(NOT inside)
      file(REMOVE_RECURSE "${media}")
    endif()
  endif()
endforeach()

# Deeper folders first: a folder goes when nothing is left in it.
set(by_depth "")
foreach(folder IN LISTS folders)
  if(IS_ABSOLUTE "${folder}" AND IS_DIRECTORY "${folder}" AND NOT IS_SYMLINK "${folder}")
    string(REGEX REPLACE "[^/]" "" slashes "${folder}")
    string(LENGTH "${slashes}" depth)
    math(EXPR key "1000 - ${depth}")
    list(APPEND by_depth "${key}|${folder}")
  endif()
endforeach()
list(SORT by_depth COMPARE NATURAL)
foreach(item IN LISTS by_depth)
  string(REGEX REPLACE "^[0-9]+\\|" "" folder "${item}")
  file(GLOB inside LIST_DIRECTORIES true "${folder}/*" "${folder}/.*")
  list(FILTER inside EXCLUDE REGEX "/\\.\\.?$")
  if(NOT inside)
    file(REMOVE_RECURSE "${folder}")
    message(STATUS "Removed: ${folder}/")
  endif()
endforeach()
message(STATUS "Vokar: ${removed} installed files removed")
