// A program that speaks in a DDE conversation of another program: it posts
// DDE messages to the server that name a client window it may not own.
//   server_test_ddeintruder CLIENT ACTION...
// CLIENT is a window handle in hex, or "own" for a window of this program
// (the control: then the messages are its own). Each ACTION is one of
//   exec:TEXT   an EXECUTE of TEXT
//   poke:TEXT   a POKE of TEXT to item "text"
//   initiate    an INITIATE for Vokar/System
//   terminate   a TERMINATE
// The messages go to the window titled "Vokar", sent one after another, so
// that each has been handled when the next goes; at the end it prints
// "done".
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "DdeMessages.h"
#include "Desktop.h"

using namespace vokar;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s CLIENT ACTION...\n", argv[0]);
    return 2;
  }
  const desktop::WindowHandle server = desktop::FindWindow("Vokar");
  if (!server) {
    std::fprintf(stderr, "no server\n");
    return 3;
  }
  std::unique_ptr<desktop::Window> own;
  dde::WindowHandle client;
  if (std::string_view(argv[1]) == "own") {
    auto created = desktop::Window::Create("", [](desktop::Message&) { return std::int64_t{0}; },
                                           desktop::WindowKind::MessageOnly);
    if (!created.window) {
      std::fprintf(stderr, "no window: %s\n", created.error.c_str());
      return 3;
    }
    own = std::move(created.window);
    client = own->handle();
  } else {
    client = dde::WindowHandle{std::strtoull(argv[1], nullptr, 16)};
  }
  std::uint32_t handle = 100;
  for (int i = 2; i < argc; ++i) {
    const std::string_view action = argv[i];
    desktop::Message message;
    if (action.starts_with("exec:")) {
      message = dde::Encode(dde::Execute{client, ++handle, std::string(action.substr(5)) + '\0'});
    } else if (action.starts_with("poke:")) {
      std::string text(action.substr(5));
      text += '\0';
      message = dde::Encode(dde::Poke{client, ++handle, "text", dde::PokeBlock{0, dde::CF_TEXT, text}});
    } else if (action == "initiate") {
      message = dde::Encode(dde::Initiate{client, "Vokar", "System"});
    } else if (action == "terminate") {
      message = dde::Encode(dde::Terminate{client, 0});
    } else {
      std::fprintf(stderr, "unknown action %s\n", argv[i]);
      return 2;
    }
    if (!desktop::SendMessage(server, message.message, message.wParam, message.lParam, message.payload).ok()) {
      std::fprintf(stderr, "%s was not handled\n", argv[i]);
      return 3;
    }
  }
  std::printf("done\n");
  return 0;
}
