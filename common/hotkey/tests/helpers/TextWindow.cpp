// Another application with a text in front of the user: a Qt window whose
// text field holds the UTF-8 text of a file, with the cursor somewhere in the
// middle. It makes itself the active window (with xdotool if need be), writes "ready" and its window id
// on standard output, and lives until it is ended.
// Usage: hotkey_test_textwindow TEXT-FILE
#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2) return 2;
  QFile file(QString::fromLocal8Bit(argv[1]));
  if (!file.open(QIODevice::ReadOnly)) return 3;
  QPlainTextEdit text;
  text.setWindowTitle(QStringLiteral("Notatki"));
  text.setPlainText(QString::fromUtf8(file.readAll()));
  QTextCursor cursor = text.textCursor();
  cursor.setPosition(text.toPlainText().size() / 2);
  text.setTextCursor(cursor);
  text.resize(480, 320);
  text.show();
  text.activateWindow();
  // A window manager may keep a new window from taking the focus by itself;
  // then it is activated as a pager would.
  bool told = false;
  int waited = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (told) return;
    if (!text.isActiveWindow()) {
      if (++waited % 6 == 0) {
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QString::number(text.winId())});
      }
      return;
    }
    told = true;
    std::printf("ready %llu\n", static_cast<unsigned long long>(text.winId()));
    std::fflush(stdout);
  });
  poll.start(50);
  return application.exec();
}
