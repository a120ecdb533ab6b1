// klavo: the talking keyboard. Speaks every key, or every finished word, that
// the user types in any program of the X session. One per desktop.
#include "Application.h"
#include "KlavoApp.h"

int main(int argc, char** argv) {
  vokar::app::CApplication application(argc, argv, "Klavo");
  int code = 0;
  {
    vokar::keyboard::CKlavoApp klavo(application);
    code = klavo.Run();
  }
  return code;
}
