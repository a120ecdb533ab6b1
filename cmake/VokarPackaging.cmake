# The Debian package of the whole suite: `cpack -G DEB` in the build folder
# gives vokar_<version>_<arch>.deb, installed under /usr, with the run-time
# dependencies that dpkg-shlibdeps finds in the programs plus what Qt loads
# at run time (its platform plugins).
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "vokar")
set(CPACK_PACKAGE_VENDOR "Quillmark")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Polish text-to-speech suite: speech server, talking clock and keyboard")
set(CPACK_PACKAGE_DESCRIPTION "Vokar reads Polish text aloud: numbers, dates and abbreviations as words,
with a user dictionary and a voice of recorded allophones. Around the speech
server stand Horalo (a talking clock with reminders), Klavo (a talking
keyboard), Remarka (spoken comments), Sievo (messages spoken on another
computer), Radko (an adviser) and the uninstaller vkremove.")
set(CPACK_PACKAGE_CONTACT "Quillmark <vokar@quillmark.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, shared-mime-info")
# Qt's own dialogs and buttons in Polish.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillmark.invalid/vokar")
# The speech-dispatcher module's configuration in /etc is the administrator's
# to change: a conffile, kept over upgrades.
if(TARGET sd_vokar)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/speechd/conffiles")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "speech-dispatcher")
endif()
include(CPack)
