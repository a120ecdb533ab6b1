#include "MainFrame.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QDropEvent>
#include <QFontMetrics>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QWhatsThis>

#include "AboutBox.h"
#include "CommentPicture.h"
#include "HelpPage.h"
#include "LockKeys.h"
#include "NamedFile.h"
#include "Places.h"
#include "RemarkaApp.h"
#include "RemarkaDoc.h"
#include "RemarkaStrings.h"
#include "SpeechClient.h"
#include "ToolbarIcons.h"

namespace vokar::comment {
namespace {

constexpr int kIndicatorIntervalMs = 250;

// The editor as the window kit shows it: caption, icon, about box, help page.
const app::ProgramInfo& Program() {
  static const app::ProgramInfo program = [] {
    app::ProgramInfo info;
    info.title = Strings().Utf8(IDS_APP_TITLE);
    info.icon = QIcon(QPixmap::fromImage(RenderPicture()));
    info.icon.addPixmap(QPixmap::fromImage(RenderPresentation()));
    info.about.caption = Strings().Text(IDS_ABOUT_CAPTION);
    info.about.lines = {Strings().Text(IDS_ABOUT_NAME), Strings().Text(IDS_ABOUT_DESCRIPTION),
                        QStringLiteral("Komentarze mówione pakietu Vokar\nQuillmark")};
    info.about.picture = QPixmap::fromImage(RenderPresentation());
    info.helpPage = "remarka.html";
    info.helpNotFound = Strings().Utf8(IDS_HELP_NOT_FOUND);
    return info;
  }();
  return program;
}
const char* const kIndicatorNames[3] = {"CAP", "NUM", "SCRL"};
// What a screen reader says of each indicator: the key and whether it is on,
// as the field's text ("CAP" or nothing) shows it.
const char* const kIndicatorKeys[3] = {"Caps Lock", "Num Lock", "Scroll Lock"};

// A frame whose status bar shows "Gotowy" whenever no prompt is shown.
class StatusTipFilter : public QObject {
 public:
  explicit StatusTipFilter(QStatusBar* bar) : QObject(bar), bar_(bar) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::StatusTip) return false;
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    bar_->showMessage(tip.isEmpty() ? Strings().Text(IDS_IDLE_MESSAGE) : tip);
    return true;
  }

 private:
  QStatusBar* bar_;
};

// Commands without a picture of their own get none.
bool HasInk(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y).alpha() != 0) return true;
  return false;
}

}  // namespace

std::unique_ptr<CMainFrame> CMainFrame::Create(CRemarkaApp& app, std::string& error) {
  std::unique_ptr<CMainFrame> frame(new CMainFrame(app, nullptr));
  frame->bus_ = app::CBusWindow::Create(Strings().Utf8(IDS_APP_TITLE), frame.get(), error);
  if (!frame->bus_) return nullptr;
  frame->WireCommands();
  return frame;
}

CMainFrame::CMainFrame(CRemarkaApp& app, std::unique_ptr<app::CBusWindow> bus) : app_(app), bus_(std::move(bus)) {
  setWindowTitle(Strings().Text(IDS_APP_TITLE));
  setWindowIcon(Program().icon);
  setAcceptDrops(true);
  area_ = new QMdiArea(this);
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(area_);
  BuildActions();
  BuildMenus();
  BuildToolBar();
  BuildStatusBar();
  connect(area_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow*) {
    UpdateCommands();
    UpdateTitle();
  });
  connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] { UpdateCommands(); });
  resize(720, 520);
  UpdateCommands();
}

CMainFrame::~CMainFrame() {
  indicatorTimer_.stop();
  // The comment windows and their area go while the frame is still whole:
  // as they go, they tell the frame, which must not listen any more.
  area_->disconnect(this);
  QApplication::clipboard()->disconnect(this);
  for (QMdiSubWindow* window : area_->subWindowList()) window->disconnect(this);
  delete area_;
  area_ = nullptr;
  bus_.reset();
}

QAction* CMainFrame::AddAction(int command, const QString& text, const QKeySequence& shortcut) {
  auto* action = new QAction(text, this);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  action->setStatusTip(CommandPrompt(command));
  if (const QString tip = CommandTip(command); !tip.isEmpty()) action->setToolTip(tip);
  if (const QImage image = ToolbarImage(command); HasInk(image)) action->setIcon(QIcon(QPixmap::fromImage(image)));
  connect(action, &QAction::triggered, this, [this, command] { Dispatch(command); });
  actions_[command] = action;
  return action;
}

QAction* CMainFrame::action(int command) const {
  const auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::BuildActions() {
  AddAction(ID_FILE_NEW, QStringLiteral("&Nowy"), QKeySequence(Qt::CTRL | Qt::Key_N));
  AddAction(ID_FILE_OPEN, QStringLiteral("&Otwórz..."), QKeySequence(Qt::CTRL | Qt::Key_O));
  AddAction(ID_FILE_CLOSE, QStringLiteral("&Zamknij"));
  AddAction(ID_FILE_SAVE, QStringLiteral("&Zapisz"), QKeySequence(Qt::CTRL | Qt::Key_S));
  AddAction(ID_FILE_SAVE_AS, QStringLiteral("Zapisz &jako..."));
  for (int i = 0; i < kRecentFileCount; ++i) AddAction(ID_FILE_MRU_FIRST + i, QString());
  AddAction(ID_APP_EXIT, QStringLiteral("Za&kończ"));
  AddAction(ID_EDIT_UNDO, QStringLiteral("&Cofnij"), QKeySequence(Qt::CTRL | Qt::Key_Z));
  AddAction(ID_EDIT_CUT, QStringLiteral("Wy&tnij"), QKeySequence(Qt::CTRL | Qt::Key_X));
  AddAction(ID_EDIT_COPY, QStringLiteral("&Kopiuj"), QKeySequence(Qt::CTRL | Qt::Key_C));
  AddAction(ID_EDIT_PASTE, QStringLiteral("&Wklej"), QKeySequence(Qt::CTRL | Qt::Key_V));
  AddAction(ID_VIEW_TOOLBAR, QStringLiteral("&Pasek narzędzi"))->setCheckable(true);
  AddAction(ID_VIEW_STATUS_BAR, QStringLiteral("Pasek &stanu"))->setCheckable(true);
  AddAction(ID_READ_COMMENT, QStringLiteral("&Czytaj"), QKeySequence(Qt::CTRL | Qt::Key_A));
  AddAction(ID_PAUSE_SPEECH, QStringLiteral("&Zatrzymaj"));
  AddAction(ID_CONTINUE_SPEECH, QStringLiteral("&Kontynuuj"));
  AddAction(ID_BREAK_SPEECH, QStringLiteral("&Przerwij"), QKeySequence(Qt::CTRL | Qt::Key_D));
  AddAction(ID_SYNTHESIS_PARAMETERS, QStringLiteral("P&arametry syntezy..."));
  AddAction(ID_TEST_SYNTHESIS, QStringLiteral("&Testuj syntezę"));
  AddAction(ID_CHOOSE_FONT, QStringLiteral("&Czcionka..."));
  AddAction(ID_WINDOW_CASCADE, QStringLiteral("&Kaskada"));
  AddAction(ID_WINDOW_TILE, QStringLiteral("&Sąsiadująco"));
  AddAction(ID_WINDOW_ARRANGE, QStringLiteral("&Uporządkuj ikony"));
  AddAction(ID_HELP_INDEX, QStringLiteral("&Tematy pomocy"), QKeySequence(Qt::Key_F1));
  AddAction(ID_CONTEXT_HELP, QStringLiteral("Pomoc &kontekstowa"), QKeySequence(Qt::SHIFT | Qt::Key_F1));
  AddAction(ID_APP_ABOUT, QStringLiteral("&Informacje o programie Remarka..."));
  // The speech keys work wherever the focus is in the frame.
  for (const int id : {ID_READ_COMMENT, ID_BREAK_SPEECH}) action(id)->setShortcutContext(Qt::WindowShortcut);
}

void CMainFrame::BuildMenus() {
  QMenuBar* bar = menuBar();
  fileMenu_ = bar->addMenu(QStringLiteral("&Plik"));
  for (const int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS})
    fileMenu_->addAction(action(id));
  fileMenu_->addSeparator();
  for (int i = 0; i < kRecentFileCount; ++i) fileMenu_->addAction(action(ID_FILE_MRU_FIRST + i));
  recentSeparator_ = fileMenu_->addSeparator();
  fileMenu_->addAction(action(ID_APP_EXIT));

  editMenu_ = bar->addMenu(QStringLiteral("&Edycja"));
  editMenu_->addAction(action(ID_EDIT_UNDO));
  editMenu_->addSeparator();
  for (const int id : {ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}) editMenu_->addAction(action(id));

  QMenu* viewMenu = bar->addMenu(QStringLiteral("&Widok"));
  viewMenu->addAction(action(ID_VIEW_TOOLBAR));
  viewMenu->addAction(action(ID_VIEW_STATUS_BAR));

  QMenu* vokarMenu = bar->addMenu(QStringLiteral("V&okar"));
  for (const int id : {ID_READ_COMMENT, ID_PAUSE_SPEECH, ID_CONTINUE_SPEECH, ID_BREAK_SPEECH})
    vokarMenu->addAction(action(id));
  vokarMenu->addSeparator();
  vokarMenu->addAction(action(ID_SYNTHESIS_PARAMETERS));
  vokarMenu->addAction(action(ID_TEST_SYNTHESIS));
  vokarMenu->addSeparator();
  vokarMenu->addAction(action(ID_CHOOSE_FONT));

  windowMenu_ = bar->addMenu(QStringLiteral("&Okno"));
  connect(windowMenu_, &QMenu::aboutToShow, this, [this] { FillWindowMenu(); });
  FillWindowMenu();

  QMenu* helpMenu = bar->addMenu(QStringLiteral("Pomo&c"));
  helpMenu->addAction(action(ID_HELP_INDEX));
  helpMenu->addAction(action(ID_CONTEXT_HELP));
  helpMenu->addSeparator();
  helpMenu->addAction(action(ID_APP_ABOUT));
  UpdateRecentFiles();
}

void CMainFrame::FillWindowMenu() {
  windowMenu_->clear();
  for (const int id : {ID_WINDOW_CASCADE, ID_WINDOW_TILE, ID_WINDOW_ARRANGE}) windowMenu_->addAction(action(id));
  const auto windows = area_->subWindowList();
  if (!windows.isEmpty()) windowMenu_->addSeparator();
  auto* group = new QActionGroup(windowMenu_);
  int number = 1;
  for (QMdiSubWindow* window : windows) {
    QAction* entry = windowMenu_->addAction(QStringLiteral("&%1 %2").arg(number++).arg(window->windowTitle()));
    entry->setCheckable(true);
    entry->setChecked(window == area_->activeSubWindow());
    group->addAction(entry);
    connect(entry, &QAction::triggered, area_, [this, window] { area_->setActiveSubWindow(window); });
  }
}

void CMainFrame::BuildToolBar() {
  toolBar_ = addToolBar(QStringLiteral("Pasek narzędzi"));
  toolBar_->setObjectName(QStringLiteral("toolbar"));
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->setMovable(false);
  const int kSeparator = 0;
  for (const int id : std::initializer_list<int>{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, kSeparator, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE,
                       kSeparator, ID_READ_COMMENT, ID_PAUSE_SPEECH, ID_CONTINUE_SPEECH, ID_BREAK_SPEECH, kSeparator,
                       ID_SYNTHESIS_PARAMETERS, ID_TEST_SYNTHESIS, kSeparator, ID_HELP_INDEX, ID_CONTEXT_HELP}) {
    if (id == kSeparator) {
      toolBar_->addSeparator();
    } else {
      toolBar_->addAction(action(id));
    }
  }
  action(ID_VIEW_TOOLBAR)->setChecked(true);
  connect(toolBar_, &QToolBar::visibilityChanged, this,
          [this](bool visible) { action(ID_VIEW_TOOLBAR)->setChecked(visible); });
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->installEventFilter(new StatusTipFilter(bar));
  installEventFilter(new StatusTipFilter(bar));
  bar->showMessage(Strings().Text(IDS_IDLE_MESSAGE));
  const QFontMetrics metrics(bar->font());
  for (int i = 0; i < 3; ++i) {
    indicators_[i] = new QLabel(bar);
    indicators_[i]->setFrameShape(QFrame::Panel);
    indicators_[i]->setFrameShadow(QFrame::Sunken);
    indicators_[i]->setAlignment(Qt::AlignCenter);
    indicators_[i]->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("SCRL")) + 12);
    bar->addPermanentWidget(indicators_[i]);
  }
  action(ID_VIEW_STATUS_BAR)->setChecked(true);
  indicatorTimer_.setInterval(kIndicatorIntervalMs);
  connect(&indicatorTimer_, &QTimer::timeout, this, [this] { UpdateIndicators(); });
  indicatorTimer_.start();
  UpdateIndicators();
}

void CMainFrame::UpdateIndicators() {
  const auto locks = x11::CurrentLockKeys();
  const bool lit[3] = {locks && locks->capsLock, locks && locks->numLock, locks && locks->scrollLock};
  for (int i = 0; i < 3; ++i) {
    const QString text = lit[i] ? QString::fromLatin1(kIndicatorNames[i]) : QString();
    if (indicators_[i]->text() != text) indicators_[i]->setText(text);
    const QString name = QString::fromLatin1(kIndicatorKeys[i]) +
                         (lit[i] ? QStringLiteral(" włączony") : QStringLiteral(" wyłączony"));
    if (indicators_[i]->accessibleName() != name) indicators_[i]->setAccessibleName(name);
  }
}

QString CMainFrame::IndicatorText(int index) const {
  return index >= 0 && index < 3 ? indicators_[index]->text() : QString();
}

QString CMainFrame::IndicatorName(int index) const {
  return index >= 0 && index < 3 ? indicators_[index]->accessibleName() : QString();
}

void CMainFrame::WireCommands() {
  app::CCommandMap& map = commands();
  map.On(ID_FILE_NEW, [this] { app_.NewComment(); });
  map.On(ID_FILE_OPEN, [this] {
    const QString filter = QString::fromUtf8(Strings().Utf8(IDR_COMMENT_TYPE).c_str()).split('\n').value(3);
    const QStringList files =
        QFileDialog::getOpenFileNames(this, Strings().Text(IDS_OPEN_CAPTION),
                                      QString::fromStdString(suite::DocumentsDir().string()),
                                      filter + ";;" + Strings().Text(IDS_ALL_FILES));
    for (const QString& file : files) app_.OpenComment(file.toStdString());
  });
  map.On(ID_FILE_CLOSE, [this] {
    if (CCommentFrame* frame = ActiveComment()) frame->close();
  });
  map.On(ID_FILE_SAVE, [this] {
    if (CCommentFrame* frame = ActiveComment()) app_.SaveComment(*frame);
  });
  map.On(ID_FILE_SAVE_AS, [this] {
    if (CCommentFrame* frame = ActiveComment()) app_.SaveCommentAs(*frame);
  });
  for (int i = 0; i < kRecentFileCount; ++i)
    map.On(ID_FILE_MRU_FIRST + i, [this, i] { app_.OpenRecentFile(static_cast<std::size_t>(i)); });
  map.On(ID_APP_EXIT, [this] { close(); });
  map.On(ID_QUIT, [this] { Dispatch(ID_APP_EXIT); });

  const auto onView = [this](void (QPlainTextEdit::*call)()) {
    return [this, call] {
      if (CCommentFrame* frame = ActiveComment()) (frame->view().*call)();
    };
  };
  map.On(ID_EDIT_UNDO, onView(&QPlainTextEdit::undo));
  map.On(ID_EDIT_CUT, onView(&QPlainTextEdit::cut));
  map.On(ID_EDIT_COPY, onView(&QPlainTextEdit::copy));
  map.On(ID_EDIT_PASTE, onView(&QPlainTextEdit::paste));
  map.On(ID_VIEW_TOOLBAR, [this] { toolBar_->setVisible(!toolBar_->isVisible()); });
  map.On(ID_VIEW_STATUS_BAR, [this] {
    statusBar()->setVisible(!statusBar()->isVisible());
    action(ID_VIEW_STATUS_BAR)->setChecked(statusBar()->isVisible());
  });

  map.On(ID_READ_COMMENT, [this] { app_.ReadComment(); });
  map.On(ID_PAUSE_SPEECH, [this] { app_.PauseSpeech(); });
  map.On(ID_CONTINUE_SPEECH, [this] { app_.ContinueSpeech(); });
  map.On(ID_BREAK_SPEECH, [this] { app_.BreakSpeech(); });
  map.On(ID_SYNTHESIS_PARAMETERS, [this] { app_.ShowSynthesisParameters(); });
  map.On(ID_TEST_SYNTHESIS, [this] { app_.TestSynthesis(); });
  // The view's commands reach the active view, or nothing when none is open.
  map.On(ID_GET_TEXT_TO_READ, [this] {
    CCommentFrame* frame = ActiveComment();
    app_.SetTextToRead(frame != nullptr ? frame->view().TextToRead() : std::nullopt);
  });
  map.On(ID_CHOOSE_FONT, [this] { app_.ChooseFont(); });

  map.On(ID_WINDOW_CASCADE, [this] { area_->cascadeSubWindows(); });
  map.On(ID_WINDOW_TILE, [this] { area_->tileSubWindows(); });
  map.On(ID_WINDOW_ARRANGE, [this] { ArrangeIcons(); });
  map.On(ID_HELP_INDEX, [this] { ShowHelp(); });
  map.On(ID_CONTEXT_HELP, [] { QWhatsThis::enterWhatsThisMode(); });
  map.On(ID_APP_ABOUT, [this] { ShowAbout(); });

  bus_->OnMessage(WM_CLIENT_DISCONNECTED, [this](desktop::Message&) -> std::int64_t {
    // Handled from the event loop: the reconnection may ask the user.
    QMetaObject::invokeMethod(this, [this] { app_.client().OnServerDisconnected(); }, Qt::QueuedConnection);
    return 0;
  });
  bus_->OnMessage(WM_COMMENT_REQUEST, [this](desktop::Message& message) -> std::int64_t {
    if (message.wParam > static_cast<std::uint64_t>(Verb::Open)) return 0;
    const Verb verb = static_cast<Verb>(message.wParam);
    const std::filesystem::path file(message.payload);
    if (!file.empty() && !file.is_absolute()) return 0;
    if (file.empty() && verb == Verb::Read) return 0;
    return app_.TakeRequest(verb, file) ? 1 : 0;
  });
}

CCommentFrame* CMainFrame::ActiveComment() const {
  return dynamic_cast<CCommentFrame*>(area_->activeSubWindow());
}

void CMainFrame::AddComment(CCommentFrame* frame) {
  area_->addSubWindow(frame);
  CRemarkaView& view = frame->view();
  connect(&view, &QPlainTextEdit::copyAvailable, this, [this](bool) { UpdateCommands(); });
  connect(&view, &QPlainTextEdit::undoAvailable, this, [this](bool) { UpdateCommands(); });
  connect(frame, &QMdiSubWindow::windowStateChanged, this, [this] { UpdateTitle(); });
  connect(frame, &QObject::destroyed, this, [this] {
    QMetaObject::invokeMethod(this, [this] {
      UpdateCommands();
      UpdateTitle();
    }, Qt::QueuedConnection);
  });
}

void CMainFrame::UpdateCommands() {
  CCommentFrame* frame = ActiveComment();
  const bool comment = frame != nullptr;
  for (const int id : {ID_READ_COMMENT, ID_PAUSE_SPEECH, ID_CONTINUE_SPEECH, ID_BREAK_SPEECH, ID_CHOOSE_FONT,
                       ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_WINDOW_CASCADE, ID_WINDOW_TILE,
                       ID_WINDOW_ARRANGE})
    action(id)->setEnabled(comment);
  const bool selection = comment && frame->view().textCursor().hasSelection();
  action(ID_EDIT_CUT)->setEnabled(selection);
  action(ID_EDIT_COPY)->setEnabled(selection);
  action(ID_EDIT_UNDO)->setEnabled(comment && frame->view().document()->isUndoAvailable());
  const QMimeData* clip = QApplication::clipboard()->mimeData();
  action(ID_EDIT_PASTE)->setEnabled(comment && clip != nullptr && clip->hasText());
  // Without a comment the frame has the short menu: no edit and window menus.
  editMenu_->menuAction()->setVisible(comment);
  windowMenu_->menuAction()->setVisible(comment);
}

void CMainFrame::UpdateTitle() {
  // With a maximised comment window the area itself adds " - [title]" to
  // the frame's caption; otherwise the caption is the program's name.
  if (area_->activeSubWindow() == nullptr || !area_->activeSubWindow()->isMaximized())
    if (windowTitle() != Strings().Text(IDS_APP_TITLE)) setWindowTitle(Strings().Text(IDS_APP_TITLE));
}

void CMainFrame::UpdateRecentFiles() {
  const auto& files = app_.recentFiles().files();
  const QFontMetrics metrics(font());
  for (int i = 0; i < kRecentFileCount; ++i) {
    QAction* entry = action(ID_FILE_MRU_FIRST + i);
    const bool used = static_cast<std::size_t>(i) < files.size();
    entry->setVisible(used);
    if (used) {
      const QString path = QString::fromStdString(files[static_cast<std::size_t>(i)].string());
      entry->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(metrics.elidedText(path, Qt::ElideMiddle, 360)));
      entry->setStatusTip(CommandPrompt(ID_FILE_MRU_FIRST + i) + QStringLiteral(": ") + path);
    }
  }
  recentSeparator_->setVisible(!files.empty());
}

void CMainFrame::ArrangeIcons() {
  // Minimised comment windows line up along the bottom of the area.
  int x = 0;
  for (QMdiSubWindow* window : area_->subWindowList()) {
    if (!window->isMinimized()) continue;
    window->move(x, area_->viewport()->height() - window->height());
    x += window->width();
  }
}

bool CMainFrame::RestorePlacement(const std::optional<WindowPlacement>& placement) {
  if (!placement) return false;
  std::vector<QRect> screens;
  for (const QScreen* screen : QGuiApplication::screens()) screens.push_back(screen->availableGeometry());
  if (const auto rect = UsableRect(placement->NormalRect(), screens)) setGeometry(*rect);
  // A window closed while minimised comes back as it was before: maximised
  // when the flags say so, else normal.
  return placement->showCmd == kShowMaximized ||
         (placement->showCmd != kShowNormal && (placement->flags & kRestoreToMaximized) != 0);
}

WindowPlacement CMainFrame::CurrentPlacement() const {
  WindowPlacement placement;
  placement.flags = isMaximized() ? kRestoreToMaximized : 0;
  placement.showCmd = isMinimized() ? kShowMinimized : (isMaximized() ? kShowMaximized : kShowNormal);
  const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
  placement.left = normal.left();
  placement.top = normal.top();
  placement.right = normal.left() + normal.width();
  placement.bottom = normal.top() + normal.height();
  return placement;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (!app_.CanCloseAll()) {
    event->ignore();
    return;
  }
  event->accept();
  app_.Finish();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) app_.OpenComment(url.toLocalFile().toStdString());
  }
  activateWindow();
  event->acceptProposedAction();
}

void CMainFrame::ShowHelp() {
  // Only the installed page: the editor has no work folder.
  app::OpenHelpPage(Program(), {}, this,
                    [this](const std::string& text) { app_.Message(text, msgbox::Icon::Information); });
}

void CMainFrame::ShowAbout() { app::ShowAboutBox(Program(), this); }

}  // namespace vokar::comment
