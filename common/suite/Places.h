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

// True for the bytes of a desktop entry that carries the suite's owner key in
// its [Desktop Entry] group.
bool IsSuiteEntry(std::string_view entryBytes);

}  // namespace vokar::suite
