// radko [FILE]: speaks one line of the text file and ends.
#include <string>
#include <vector>

#include "Radko.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return vokar::adviser::RunRadko(arguments);
}
