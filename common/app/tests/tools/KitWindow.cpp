// A program on the window kit whose main dialog opens one of the things that
// run a loop of their own, for the test of ending a program while it is open:
//   app_test_kitwindow box|about|file
// box: a yes/no message box (yes is the default), then a second box and a
// file dialog after it; about: the about box; file: a file dialog. The
// program prints "shown CLASS" once the thing is up, what each one returned,
// "exit road" when its own exit command runs and "saved" from its exit step.
#include <QDialog>
#include <QFileDialog>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "AboutBox.h"
#include "Application.h"
#include "MessageBox.h"
#include "Program.h"
#include "SystemMenu.h"

namespace {

void Say(const char* format, const char* value = "") {
  std::printf(format, value);
  std::printf("\n");
  std::fflush(stdout);
}

// Says what is up once the loop that was just entered runs.
void SayWhenShown() {
  QTimer::singleShot(0, [] {
    const QWidget* modal = QApplication::activeModalWidget();
    Say("shown %s", modal != nullptr ? modal->metaObject()->className() : "nothing");
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s box|about|file\n", argv[0]);
    return 2;
  }
  const std::string what = argv[1];
  vokar::app::CApplication application(argc, argv, "Okno");
  vokar::app::ProgramInfo program;
  program.title = "Okno";
  program.aboutMenuItem = QStringLiteral("&Informacja o Oknie...");
  program.about.caption = QStringLiteral("Informacja o Oknie");
  program.about.lines = {QStringLiteral("Okno, wersja 1.1.95")};

  QDialog window;
  window.setWindowTitle(QStringLiteral("Okno"));
  new vokar::app::CSystemMenu(&window, program, [&] { vokar::app::ShowAboutBox(program, &window); });
  application.SetMainWindow(&window);
  application.SetQuitRequestHandler([&window] {
    Say("exit road");
    window.done(1);
  });
  application.AddExitStep([] { Say("saved"); });

  QTimer::singleShot(0, &window, [&] {
    if (what == "box") {
      SayWhenShown();
      const auto answer = vokar::msgbox::ShowMessageBox("Okno", "Czy na pewno?", vokar::msgbox::Icon::Question,
                                                         vokar::msgbox::Buttons::YesNo);
      Say("answer %s", std::string(vokar::msgbox::AnswerName(answer)).c_str());
      const auto second = vokar::msgbox::ShowMessageBox("Okno", "A teraz?", vokar::msgbox::Icon::Question,
                                                         vokar::msgbox::Buttons::YesNo);
      Say("second %s", std::string(vokar::msgbox::AnswerName(second)).c_str());
      QFileDialog files(&window);
      files.setOption(QFileDialog::DontUseNativeDialog);
      Say("file dialog %s", files.exec() == QDialog::Accepted ? "accepted" : "closed");
    } else if (what == "about") {
      SayWhenShown();
      vokar::app::ShowAboutBox(program, &window);
      Say("about closed");
    } else if (what == "file") {
      SayWhenShown();
      QFileDialog files(&window);
      files.setOption(QFileDialog::DontUseNativeDialog);
      Say("file dialog %s", files.exec() == QDialog::Accepted ? "accepted" : "closed");
    }
  });
  window.show();
  const int result = window.exec();
  Say("window ended %s", result == 1 ? "1" : "0");
  application.RunExitSteps();
  return 0;
}
