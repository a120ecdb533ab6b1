// radko [FILE]: speaks one line of the text file and ends.
#include <string>
#include <vector>

#include "FirstStart.h"
#include "Radko.h"

int main(int argc, char** argv) {
  // The first start of an installed program registers the suite for the user.
  vokar::suite::RegisterOnFirstStart();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return vokar::adviser::RunRadko(arguments);
}
