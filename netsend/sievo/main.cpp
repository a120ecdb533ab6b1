// sievo: makes the speech server of another computer say a message. Without
// arguments it opens its dialog; "sievo --send COMPUTER TEXT" and
// "sievo --break COMPUTER" do the dialog's Send and Break from a terminal,
// with the same client and the same messages (on standard error there).
#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "Application.h"
#include "Auth.h"
#include "Cp1250.h"
#include "MessageBox.h"
#include "NetSpeechClient.h"
#include "ProgramStart.h"
#include "Settings.h"
#include "SievoDlg.h"
#include "SievoIds.h"
#include "SievoStrings.h"
#include "Wire.h"

namespace {

using namespace vokar;
using namespace vokar::netsend;

constexpr const char* kUsage =
    "usage: sievo                         the dialog\n"
    "       sievo --send COMPUTER TEXT... say the text on that computer ('-': standard input)\n"
    "       sievo --break COMPUTER        break the speech on that computer\n"
    "       sievo --set-key KEY           the key shared with the computers' agents\n"
    "                                     (\"-\": the first line of standard input)\n"
    "       sievo --clear-key             no key\n"
    "COMPUTER is a host name or an address, with :PORT when the agent does not\n"
    "listen on 7047. Text is UTF-8 or Windows-1250, at most 1023 bytes are sent.\n"
    "Exit status: 0 done, 1 not done, 2 bad command line.\n";

constexpr const char* kNetworkSection = "Network";

NetSpeechOptions ClientOptions(const app::CSettings& settings) {
  NetSpeechOptions options;
  options.title = kTitle;
  options.quitCommand = IDC_EXIT;
  options.network.key = settings.ReadString(kNetworkSection, "Key", "");
  options.network.defaultPort = netdde::kDefaultPort;
  return options;
}

void Say(int id, msgbox::Icon icon) {
  msgbox::ShowMessageBox(kTitle, Strings().Utf8(id), icon, msgbox::Buttons::Ok);
}

int CommandLine(int argc, char** argv, const std::vector<std::string>& args) {
  app::CSettings settings(kTitle);
  const std::string& command = args[0];
  if (command == "--set-key" && args.size() == 2 && !args[1].empty()) {
    const std::string key = args[1] == "-" ? netdde::ReadKeyLine(std::cin) : args[1];
    if (key.empty()) {
      std::cerr << "sievo: no key on standard input\n";
      return 2;
    }
    return settings.WriteString(kNetworkSection, "Key", key) ? 0 : 1;
  }
  if (command == "--clear-key" && args.size() == 1) {
    return settings.WriteString(kNetworkSection, "Key", "") ? 0 : 1;
  }
  const bool send = command == "--send" && args.size() >= 3;
  const bool breaking = command == "--break" && args.size() == 2;
  if (!send && !breaking) {
    std::cerr << kUsage;
    return 2;
  }
  // A terminal program: no widgets, the messages go to standard error (or to
  // the message log of the tests).
  QCoreApplication qt(argc, argv);
  const std::string computer = args[1];
  if (computer.empty()) {
    Say(IDS_NO_COMPUTER, msgbox::Icon::Warning);
    return 1;
  }
  NetSpeechClient client(ClientOptions(settings));
  if (!client.Connect({}, nullptr)) return 1;
  if (!client.ConnectTo(computer)) return 1;
  int code = 0;
  if (send) {
    std::string text;
    if (args.size() == 3 && args[2] == "-") {
      text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
      for (std::size_t i = 2; i < args.size(); ++i) text += (i > 2 ? " " : "") + args[i];
    }
    text = cp1250::IncomingText(text);
    text = text.substr(0, text.find('\0'));
    if (text.size() > static_cast<std::size_t>(kMaxMessage)) text.resize(kMaxMessage);
    if (!text.empty()) {
      const int result = client.Speak(text.c_str(), BreakFirst::Yes);
      if (result == kSpeakSent) {
        Say(IDS_SENT, msgbox::Icon::Information);
      } else {
        code = 1;
      }
    }
  } else if (!client.BreakSpeech()) {
    code = 1;
  }
  client.CloseConversation();
  return code;
}

int Dialog(int argc, char** argv) {
  app::CApplication application(argc, argv, kTitle);
  app::CSettings settings(kTitle);
  const std::string workDir = app::ReadWorkDir(settings);

  int code = 0;
  {
    CSievoDlg dialog(settings, workDir, ClientOptions(settings));
    std::string error;
    if (!dialog.Initialise(error)) {
      if (error != "DDE") {
        msgbox::ShowMessageBox(kTitle, "Pulpit jest niedostępny:\n" + error, msgbox::Icon::Stop,
                               msgbox::Buttons::Ok);
      }
      dialog.Destroy();
      return 2;
    }
    // A request to end from outside closes the dialog as "Koniec" does.
    application.SetMainWindow(&dialog);
    application.SetQuitRequestHandler([&dialog] { dialog.commands().Dispatch(IDC_EXIT); });
    application.AddExitStep([&dialog] { dialog.Destroy(); });
    dialog.exec();
    dialog.Destroy();
    application.RunExitSteps();
  }
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (!args.empty() && args[0].starts_with("--")) return CommandLine(argc, argv, args);
  if (!args.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  return Dialog(argc, argv);
}
