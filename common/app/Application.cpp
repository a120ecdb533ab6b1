#include "Application.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDialog>
#include <QLibraryInfo>
#include <QMenu>
#include <QMetaObject>
#include <QSessionManager>
#include <QTranslator>
#include <cerrno>
#include <cstdlib>

#include "Desktop.h"
#include "FirstStart.h"
#include "MessageBox.h"
#include "QtDesktopLoop.h"
#include "Widgets.h"

namespace vokar::app {
namespace {

// The write end of the self-pipe the signal handler writes to.
volatile sig_atomic_t signalWriteFd = -1;

void OnSignal(int number) {
  const int saved = errno;
  const char byte = static_cast<char>(number);
  if (signalWriteFd >= 0) [[maybe_unused]] const auto written = ::write(signalWriteFd, &byte, 1);
  errno = saved;
}

// A window that keeps the program from ending while it is open: a modal
// dialog or message box, or a popup menu (each runs a loop of its own).
bool Blocks(const QWidget* widget) {
  if (widget == nullptr || !widget->isWindow()) return false;
  if (widget->windowType() == Qt::Popup) return true;
  return qobject_cast<const QDialog*>(widget) != nullptr && widget->isModal();
}

void Close(QWidget* widget) {
  if (auto* dialog = qobject_cast<QDialog*>(widget)) {
    dialog->reject();
  } else {
    widget->close();
  }
  // A dialog whose rejection keeps it open still goes: hiding it ends its loop.
  if (widget->isVisible()) widget->hide();
}

}  // namespace

// Once the program is ending, a dialog or menu that opens (the code after a
// closed box may open the next) is closed as soon as its loop runs.
class CApplication::EndingFilter final : public QObject {
 public:
  explicit EndingFilter(CApplication& application) : application_(application) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget == application_.mainWindow() || !Blocks(widget)) return false;
    // Not here: the loop of a dialog shown now starts only after this event.
    QMetaObject::invokeMethod(
        widget,
        [widget] {
          if (widget->isVisible()) Close(widget);
        },
        Qt::QueuedConnection);
    return false;
  }

 private:
  CApplication& application_;
};

CApplication* CApplication::instance_ = nullptr;

CApplication::CApplication(int& argc, char** argv, std::string name, FirstStartRegistration registration)
    : name_(std::move(name)) {
  instance_ = this;
  // The first start of an installed program registers the suite for the user.
  if (registration == FirstStartRegistration::Register) suite::RegisterOnFirstStart();
  qt_ = std::make_unique<QApplication>(argc, argv);
  QCoreApplication::setApplicationName(QString::fromStdString(name_));
  QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
  LoadQtTranslation();
  GiveWindowsTheirRole();
  // The program decides when it ends: closing its last window is not enough
  // (a server may run with its window hidden in the tray).
  QApplication::setQuitOnLastWindowClosed(false);
  loop_ = std::make_unique<desktop::QtDesktopLoop>();
  WatchSignals();
  // The desktop session ends: the program exits as it would on its own.
  QObject::connect(qt_.get(), &QGuiApplication::commitDataRequest, qt_.get(),
                   [this](QSessionManager&) { RequestQuit(); });
}

CApplication::~CApplication() {
  RunExitSteps();
  if (endingFilter_) qt_->removeEventFilter(endingFilter_.get());
  endingFilter_.reset();
  if (signalWatch_ != 0) desktop::CancelDescriptor(signalWatch_);
  signalWriteFd = -1;
  for (int& fd : signalFds_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  loop_.reset();
  qt_.reset();
  instance_ = nullptr;
}

void CApplication::LoadQtTranslation() {
  // Everything the suite shows is Polish: Qt's own dialogs and buttons too
  // ("Tak"/"Nie", "Anuluj"; from qt6-translations-l10n, without which they
  // stay in English).
  auto* translator = new QTranslator(qt_.get());
  if (translator->load(QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
    polishQtTexts_ = true;
  } else {
    delete translator;
  }
}

void CApplication::WatchSignals() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalFds_) != 0) return;
  signalWriteFd = signalFds_[1];
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(number, &action, nullptr);
  // The signal is heard even while a send waits for a program that does not
  // answer: a program told to end must not wait for others first.
  signalWatch_ = desktop::WatchDescriptor(
      signalFds_[0], [this] { OnSignalReadable(); }, desktop::WatchScope::AlsoWhileSending);
}

void CApplication::OnSignalReadable() {
  char bytes[64];
  bool any = false;
  while (::read(signalFds_[0], bytes, sizeof bytes) > 0) any = true;
  if (!any) return;
  // This may run inside a send's wait, deep in the program's own code: every
  // waiting send gives up, and the request to end is carried out from the
  // event loop once control is back there, by the program's own exit road.
  desktop::CancelWaitingSends();
  QMetaObject::invokeMethod(qt_.get(), [this] { RequestQuit(); }, Qt::QueuedConnection);
}

void CApplication::RequestQuit() {
  if (quitRequested_) return;
  quitRequested_ = true;
  // No box may keep the program waiting for a user who is gone: the open ones
  // close, and later ones are answered without being shown.
  msgbox::SetEnding(true);
  endingFilter_ = std::make_unique<EndingFilter>(*this);
  qt_->installEventFilter(endingFilter_.get());
  CloseOpenDialogs();
  if (onQuitRequest_) {
    onQuitRequest_();
  } else {
    QCoreApplication::quit();
  }
}

int CApplication::RunMainDialog(QDialog* dialog, bool started, const std::function<void()>& end) {
  const bool runs = started && dialog != nullptr;
  if (runs) {
    SetMainWindow(dialog);
    dialog->exec();
  }
  end();
  return runs ? 0 : 1;
}

void CApplication::CloseOpenDialogs() {
  // A closed window is no longer active, so each round finds the next one;
  // the bound stops a window that refuses to go from holding the loop.
  for (int round = 0; round < 64; ++round) {
    QWidget* open = QApplication::activePopupWidget();
    if (open == nullptr) open = QApplication::activeModalWidget();
    if (open == nullptr || open == mainWindow_) return;
    Close(open);
  }
}

void CApplication::AddExitStep(std::function<void()> step) {
  // A program can be ended from inside a library too: Qt ends it when the
  // display goes away at the end of the session. The exit steps (settings
  // above all) run then as well. The handler is installed with the first
  // step, after what the steps use (the settings store's connections) has
  // been made, so that it runs before their destructors do.
  static const bool atExitInstalled = [] {
    std::atexit([] {
      if (instance_ != nullptr) instance_->RunExitSteps();
    });
    return true;
  }();
  (void)atExitInstalled;
  exitSteps_.push_back(std::move(step));
}

void CApplication::RunExitSteps() {
  while (!exitSteps_.empty()) {
    auto step = std::move(exitSteps_.back());
    exitSteps_.pop_back();
    if (step) step();
  }
}

}  // namespace vokar::app
