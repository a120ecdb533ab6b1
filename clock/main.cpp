// horalo: the talking clock. It chimes and reads the time and the date in
// Polish words, speaks reminder events when they fall due and reads advice
// now and then, through the speech server.
#include "Application.h"
#include "HoraloApp.h"

int main(int argc, char** argv) {
  vokar::app::CApplication application(argc, argv, vokar::clock::kHoraloTitle);
  int code = 0;
  {
    vokar::clock::CHoraloApp horalo(application);
    code = horalo.Run();
  }
  return code;
}
