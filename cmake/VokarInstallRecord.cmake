# The complete removal of an installation made with `cmake --install` into a
# prefix of one's own (~/.local): the installation writes, beside its data in
# PREFIX/share/vokar, the list of every file it installed (the install
# manifest, itself included), the list of the folders it made, and the script
# uninstall.cmake that takes both away again:
#
#   cmake -P ~/.local/share/vokar/uninstall.cmake
#
# The Debian package (prefix /usr, installed into a staging folder) has none
# of this: the package manager removes its files.
#
# vokar_install_record_begin() is called before any other install rule (from
# the top folder): it notes which of the installation's folders exist before.
# vokar_install_record_end() is called after every other install rule (from
# the last folder): it writes the lists and the script.

# The suite's own libraries (the key watcher) lie in a folder of its own below
# the multiarch library folder, as Debian keeps a package's private
# libraries: the dynamic loader does not search it (the programs find them by
# their run path), so the package needs no ldconfig.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(VOKAR_PRIVATE_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}/vokar")
  set(vokar_arch_libdir "lib/${CMAKE_LIBRARY_ARCHITECTURE}")
else()
  set(VOKAR_PRIVATE_LIBDIR "${CMAKE_INSTALL_LIBDIR}/vokar")
endif()

# The folders the install rules put files in, below the prefix, with the
# folders above them. A folder not named here counts as one that was there
# before, so it is never removed.
set(VOKAR_INSTALL_FOLDERS
  "${CMAKE_INSTALL_BINDIR}"
  "${CMAKE_INSTALL_LIBDIR}" "${CMAKE_INSTALL_LIBDIR}/vokar"
  ${vokar_arch_libdir} "${VOKAR_PRIVATE_LIBDIR}"
  "lib" "lib/systemd" "lib/systemd/user"
  "libexec" "libexec/speech-dispatcher-modules"
  "${CMAKE_INSTALL_DATADIR}" "${CMAKE_INSTALL_DATADIR}/vokar" "${CMAKE_INSTALL_DATADIR}/vokar/help"
  "${CMAKE_INSTALL_DATADIR}/vokar/sounds" "${CMAKE_INSTALL_DATADIR}/vokar/speech-dispatcher"
  "${CMAKE_INSTALL_DATADIR}/doc" "${CMAKE_INSTALL_DATADIR}/doc/vokar"
  "${CMAKE_INSTALL_MANDIR}" "${CMAKE_INSTALL_MANDIR}/man1" "${CMAKE_INSTALL_MANDIR}/pl" "${CMAKE_INSTALL_MANDIR}/pl/man1"
  "${CMAKE_INSTALL_DATADIR}/applications" "${CMAKE_INSTALL_DATADIR}/applications/Quillmark Vokar 1.1"
  "${CMAKE_INSTALL_DATADIR}/icons" "${CMAKE_INSTALL_DATADIR}/icons/hicolor"
  "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable" "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
  "${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32" "${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/mimetypes"
  "${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48" "${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/mimetypes"
  "${CMAKE_INSTALL_DATADIR}/mime" "${CMAKE_INSTALL_DATADIR}/mime/packages"
  "${CMAKE_INSTALL_DATADIR}/systemd" "${CMAKE_INSTALL_DATADIR}/systemd/user")

function(vokar_install_record_begin)
  # Each folder quoted: a name with spaces (the menu's group) is one folder.
  set(quoted "")
  foreach(folder IN LISTS VOKAR_INSTALL_FOLDERS)
    string(APPEND quoted " \"${folder}\"")
  endforeach()
  install(CODE "
    set(VOKAR_RECORD_INSTALL OFF)
    if(NOT CMAKE_INSTALL_PREFIX STREQUAL \"/usr\" AND \"\$ENV{DESTDIR}\" STREQUAL \"\")
      set(VOKAR_RECORD_INSTALL ON)
    endif()
    set(VOKAR_FOLDERS_MADE \"\")
    foreach(folder IN ITEMS${quoted})
      if(NOT IS_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}/\${folder}\")
        list(APPEND VOKAR_FOLDERS_MADE \"\${CMAKE_INSTALL_PREFIX}/\${folder}\")
      endif()
    endforeach()")
endfunction()

function(vokar_install_record_end)
  set(record_dir "${CMAKE_INSTALL_DATADIR}/vokar")
  install(CODE "
    if(VOKAR_RECORD_INSTALL)
      set(vokar_record_dir \"\${CMAKE_INSTALL_PREFIX}/${record_dir}\")
      file(INSTALL DESTINATION \"\${vokar_record_dir}\" TYPE FILE FILES \"${PROJECT_SOURCE_DIR}/cmake/uninstall.cmake\")
      set(vokar_manifest \"\${vokar_record_dir}/install-manifest.txt\")
      set(vokar_folders \"\${vokar_record_dir}/install-folders.txt\")
      # What an earlier installation into the same prefix put there counts too.
      set(installed \${CMAKE_INSTALL_MANIFEST_FILES})
      if(EXISTS \"\${vokar_manifest}\")
        file(STRINGS \"\${vokar_manifest}\" earlier)
        list(APPEND installed \${earlier})
      endif()
      list(APPEND installed \"\${vokar_manifest}\" \"\${vokar_folders}\")
      list(REMOVE_DUPLICATES installed)
      list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${vokar_manifest}\" \"\${vokar_folders}\")
      # A folder made now, or by an earlier installation into the same prefix.
      set(made \"\")
      if(EXISTS \"\${vokar_folders}\")
        file(STRINGS \"\${vokar_folders}\" made)
      endif()
      list(APPEND made \${VOKAR_FOLDERS_MADE})
      list(REMOVE_DUPLICATES made)
      list(JOIN installed \"\\n\" files_text)
      list(JOIN made \"\\n\" folders_text)
      message(STATUS \"Installing: \${vokar_manifest}\")
      file(WRITE \"\${vokar_manifest}\" \"\${files_text}\\n\")
      message(STATUS \"Installing: \${vokar_folders}\")
      file(WRITE \"\${vokar_folders}\" \"\${folders_text}\\n\")
    endif()")
endfunction()
