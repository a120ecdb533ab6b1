// What the installation of the suite leaves on a user's machine, by name: the
// six programs with their desktop-bus titles, executables and App Paths names,
// the keys of the settings store, the shortcuts, the working directory's
// marker and the comment type. vkinstall writes by this table, vkremove takes
// away by it, so the two can never drift apart.
#pragma once

#include <array>
#include <string_view>

namespace vokar::suite {

struct Program {
  std::string_view title;        // the bus title, which is also the program's name
  std::string_view executable;   // the file in the programs folder
  std::string_view appPathName;  // the App Paths key name
};

// In the order of the App Paths table, which is also the order in which the
// per-program settings keys are removed.
inline constexpr std::array<Program, 6> kPrograms{{
    {"Horalo", "horalo", "HORALO.exe"},
    {"Klavo", "klavo", "Klavo.exe"},
    {"Sievo", "sievo", "Sievo.exe"},
    {"Remarka", "remarka", "Remarka.exe"},
    {"Vokar", "vokar", "Vokar.exe"},
    {"Radko", "radko", "Radko.exe"},
}};

// The order in which the uninstaller looks for running programs: the
// clients before the speech server, since a client whose server went away
// starts it again (while the uninstaller runs none does; see Uninstalling.h).
inline constexpr std::array<std::string_view, 6> kRunningCheckOrder{"Klavo", "Horalo", "Remarka",
                                                                    "Sievo", "Radko", "Vokar"};

inline constexpr std::string_view kInstallerExecutable = "vkinstall";
inline constexpr std::string_view kUninstallerExecutable = "vkremove";

// The product's name, also the default programs group and the uninstall entry.
inline constexpr std::string_view kProductName = "Quillmark Vokar 1.1";
inline constexpr std::string_view kVersionText = "1.1.95.3";
inline constexpr std::string_view kCompany = "Quillmark";

// Current user's hive.
inline constexpr std::string_view kSettingsRoot = "Software\\Quillmark";
inline constexpr std::string_view kRecordKey = "Software\\Quillmark\\Vokar\\Uninstall";
inline constexpr std::string_view kDirectoryValue = "Directory";
inline constexpr std::string_view kGroupNameValue = "GroupName";
// The folder of the programs that registered, resolved: the installation the
// uninstaller belongs to (only that installation's vkremove deletes itself).
inline constexpr std::string_view kProgramsValue = "Programs";
inline constexpr std::string_view kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr std::string_view kStartupFolder = "Startup";
inline constexpr std::string_view kSendToFolder = "SendTo";
inline constexpr std::string_view kProgramsFolder = "Programs";

// Machine hive.
inline constexpr std::string_view kMachineKey = "Software\\Quillmark\\Vokar";
inline constexpr std::string_view kUninstallEntryKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmark Vokar 1.1";

// Shortcuts are desktop entries: the start-up folder holds these three, the
// send-to folder the one that hands a text file to the server.
inline constexpr std::array<std::string_view, 3> kStartupShortcuts{"Horalo", "Vokar", "Radko"};
inline constexpr std::string_view kSendToShortcut = "Syntezer mowy Vokar";
inline constexpr std::string_view kShortcutExtension = ".desktop";

// Every desktop entry of the suite carries this key, so that nothing else is
// ever taken for one of ours.
inline constexpr std::string_view kEntryOwnerKey = "X-Quillmark-Suite";
inline constexpr std::string_view kEntryOwnerValue = "Vokar 1.1";

// The working directory holds this file; the uninstaller deletes a directory
// only when it finds it there with exactly this text.
inline constexpr std::string_view kMarkerFile = ".quillmark-vokar";
inline constexpr std::string_view kMarkerText = "Quillmark Vokar 1.1 working directory\n";

// The comment documents' registration in the classes root.
inline constexpr std::string_view kCommentExtensionKey = ".ann";
inline constexpr std::string_view kCommentTypeId = "Remarka.Komentarz";
inline constexpr std::string_view kCommentClassId = "{5C3E91D4-2B7A-4F06-9E18-6D2A7B40C3F5}";

}  // namespace vokar::suite
