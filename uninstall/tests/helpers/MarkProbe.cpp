// Says whether an uninstaller runs on this desktop, asked as every program of
// the suite asks it before it starts the speech server or registers the
// suite: "runs" or "free" on standard output.
#include <iostream>

#include "Uninstalling.h"

int main() {
  std::cout << (vokar::suite::UninstallerRuns() ? "runs" : "free") << "\n";
  return 0;
}
