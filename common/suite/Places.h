// Where the suite's per-user files go on this desktop, by the XDG base
// directory rules: the start-up folder is the autostart folder of the config
// home, the programs menu and the send-to actions live in the applications
// folder of the data home, and the suite's working directory is a folder of
// the data home.
#pragma once

#include <filesystem>
#include <string_view>

namespace vokar::suite {

// $HOME, else the home folder the user database gives; empty when neither.
std::filesystem::path HomeDir();
// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
std::filesystem::path DataHome();
// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::filesystem::path ConfigHome();

std::filesystem::path AutostartDir();     // the "Startup" shell folder
std::filesystem::path ApplicationsDir();  // the "Programs" and "SendTo" shell folders
std::filesystem::path DefaultWorkingDir();

// Where the user keeps documents, the folder a program offers first for the
// user's own files: the XDG documents folder (XDG_DOCUMENTS_DIR of
// user-dirs.dirs in the config home) when it is an existing folder, else the
// home folder; never the suite's working directory or a folder in it.
std::filesystem::path DocumentsDir();

// The documents folder from the text of a user-dirs.dirs file; empty when the
// file does not name one. "$HOME" at its start stands for the home folder.
std::filesystem::path DocumentsDirFromUserDirs(std::string_view text, const std::filesystem::path& home);

// True for the bytes of a desktop entry that carries the suite's owner key in
// its [Desktop Entry] group.
bool IsSuiteEntry(std::string_view entryBytes);

// True for a regular file (not a link) that is one of the suite's desktop entries.
bool IsSuiteEntryFile(const std::filesystem::path& file);

// True when the start-up folder holds one of the suite's start-up entries
// (Horalo, Vokar, Radko): the user chose to start the suite at login.
bool AutostartIsOn(const std::filesystem::path& startupDir = AutostartDir());

}  // namespace vokar::suite
