// A program on the suite's application skeleton that sends to a window which
// never answers, for the test of ending a program while a send of it waits.
//   app_test_blockedsender WINDOW
// WINDOW is a handle in hex. The send waits up to a minute. The program
// prints "sending" before the send, "send ended OK" when it returns (OK 1
// when answered), and "saved" from its exit step.
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "Application.h"
#include "Desktop.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s WINDOW\n", argv[0]);
    return 2;
  }
  const vokar::desktop::WindowHandle target{std::strtoull(argv[1], nullptr, 16)};
  vokar::app::CApplication application(argc, argv, "Blocked");
  application.AddExitStep([] {
    std::printf("saved\n");
    std::fflush(stdout);
  });
  QTimer::singleShot(0, [target] {
    std::printf("sending\n");
    std::fflush(stdout);
    const auto sent =
        vokar::desktop::SendMessage(target, vokar::desktop::WM_USER + 5, 0, 0, {}, std::chrono::milliseconds(60000));
    std::printf("send ended %d\n", sent.ok() ? 1 : 0);
    std::fflush(stdout);
  });
  const int code = application.qt().exec();
  application.RunExitSteps();
  return code;
}
