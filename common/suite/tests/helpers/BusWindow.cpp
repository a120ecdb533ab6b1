// A program with one top-level window on the desktop bus, titled as the
// first argument says, for the uninstaller's check of running programs.
//   suite_test_buswindow TITLE [LOG COUNT]
// With LOG and COUNT it closes its window and ends once the message-box log
// holds COUNT lines (the user closed the program after COUNT questions);
// otherwise it runs until it is killed.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "Desktop.h"

namespace {

int LineCount(const char* file) {
  std::ifstream in(file);
  std::string line;
  int count = 0;
  while (std::getline(in, line)) ++count;
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::cerr << "usage: suite_test_buswindow TITLE [LOG COUNT]\n";
    return 2;
  }
  auto created = vokar::desktop::Window::Create(argv[1], [](vokar::desktop::Message&) { return 0; });
  if (!created.window) {
    std::cerr << "suite_test_buswindow: " << created.error << "\n";
    return 1;
  }
  std::cout << "ready" << std::endl;
  const int count = argc == 4 ? std::atoi(argv[3]) : 0;
  for (;;) {
    vokar::desktop::PumpMessages(std::chrono::milliseconds(2));
    if (count > 0 && LineCount(argv[2]) >= count) break;
  }
  created.window.reset();
  return 0;
}
