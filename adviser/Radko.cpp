#include "Radko.h"

#include <cstdio>
#include <memory>

#include "AdviceFile.h"
#include "Cp1250.h"
#include "Desktop.h"
#include "MessageBox.h"
#include "Profile.h"
#include "SpeechClient.h"

namespace vokar::adviser {
namespace {

constexpr const char* kSection = "Text File";
constexpr const char* kNoFileName =
    "Podaj nazwę pliku tekstowego: \n - w 'HKEY_CURRENT_USER\\Software\\Quillmark\\Radko\\Text File\\Name=' lub,\n"
    " - w linii komend.\n";
constexpr const char* kCannotOpen = "Błąd otwarcia pliku: ";
// Every text the adviser hands over ends by resetting the server's reading
// state, so that tags in InitString do not outlive the line.
constexpr const char* kResetTag = " \\Rst\\";

registry::Profile Settings() { return registry::Profile("Quillmark", kRadkoTitle); }

void Tell(const std::string& utf8Text) {
  msgbox::ShowMessageBox(kRadkoTitle, utf8Text, msgbox::Icon::Warning, msgbox::Buttons::Ok);
}

}  // namespace

RadkoSettings ReadSettings() {
  const auto profile = Settings();
  RadkoSettings settings;
  settings.name = profile.GetString(kSection, "Name", "");
  settings.randomize = registry::IsYes(profile.GetString(kSection, "Randomize", "Y"));
  settings.lastRow = profile.GetInt(kSection, "LastRow", 0);
  settings.initString = profile.GetString(kSection, "InitString", "");
  return settings;
}

bool WriteSettings(const RadkoSettings& settings) {
  const auto profile = Settings();
  bool written = true;
  for (const auto& status : {profile.WriteString(kSection, "Name", settings.name),
                             profile.WriteYesNo(kSection, "Randomize", settings.randomize),
                             profile.WriteInt(kSection, "LastRow", settings.lastRow),
                             profile.WriteString(kSection, "InitString", settings.initString)}) {
    if (!status.ok()) {
      std::fprintf(stderr, "radko: %s\n", status.error().description.c_str());
      written = false;
    }
  }
  return written;
}

int RunRadko(const std::vector<std::string>& arguments) {
  RadkoSettings settings = ReadSettings();
  int status = 1;

  // The invisible main window: the owner of the client's notices on the
  // desktop. Without it nothing is done but writing the settings back.
  auto created = desktop::Window::Create(kRadkoTitle, [](desktop::Message&) { return std::int64_t{0}; });
  if (!created.window) {
    std::fprintf(stderr, "radko: %s\n", created.error.c_str());
  } else {
    std::string path = settings.name;
    Order order = settings.randomize ? Order::Random : Order::InTurn;
    // On Linux the shell has already cut the command line: the first
    // argument is the file's path whole, blanks and commas included.
    if (!arguments.empty() && !arguments.front().empty()) {
      path = arguments.front();
      order = Order::Random;
    }
    if (path.empty()) {
      Tell(kNoFileName);
    } else {
      const Choice choice = ChooseLine(path, order, settings.lastRow, order == Order::Random ? DrawRandom() : 0);
      if (!choice.opened) {
        Tell(kCannotOpen + path);
      } else {
        settings.lastRow = static_cast<int>(choice.row);
        if (choice.line.empty()) {
          status = 0;
        } else {
          const std::string text = cp1250::FromUtf8(settings.initString) + choice.line + kResetTag;
          CSpeechClient client(SpeechClientProgram{kRadkoTitle, kRadkoQuitCommand});
          if (client.Connect(created.window->handle()) && client.Speak(text, BreakFirst::Yes) == kSpeakSent) {
            status = 0;
          }
          client.Disconnect();
          settings.name = path;
        }
      }
    }
  }
  WriteSettings(settings);
  return status;
}

}  // namespace vokar::adviser
