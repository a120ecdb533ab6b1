#include "MainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>

#include <cstdio>
#include <exception>

#include "AboutBox.h"
#include "AdvicePage.h"
#include "ButtonSpec.h"
#include "ClockIds.h"
#include "ClockPage.h"
#include "ClockStrings.h"
#include "Controls.h"
#include "EventsPage.h"
#include "HelpPage.h"
#include "HotKeysPage.h"
#include "HotKeyTable.h"
#include "Icons.h"
#include "Settings.h"
#include "SystemMenu.h"

namespace vokar::clock {
namespace {

// Dialog units of the window's font: a quarter of the average character
// width across, an eighth of the character height down.
int HorizontalUnits(const QFontMetrics& metrics, int units) { return units * metrics.averageCharWidth() / 4; }
int VerticalUnits(const QFontMetrics& metrics, int units) { return units * metrics.height() / 8; }

// The clock as the window kit shows it: caption, icon, about box, help page.
const app::ProgramInfo& Program() {
  static const app::ProgramInfo program = [] {
    app::ProgramInfo info;
    info.title = ClockText(IDS_TITLE);
    info.icon = ClockIcon();
    info.aboutMenuItem = QString::fromUtf8(ClockText(IDS_MENU_ABOUT));
    info.about.caption = QStringLiteral("Informacja o Horalo");
    info.about.lines = {QString::fromUtf8(ClockText(IDS_VERSION)), QString::fromUtf8(ClockText(IDS_DESCRIPTION)),
                        QStringLiteral("Część pakietu syntezy mowy polskiej Vokar.")};
    info.about.picture = DrawClockIcon(64);
    info.helpPage = "horalo.html";
    info.helpNotFound = "Nie znaleziono pliku pomocy:";
    return info;
  }();
  return program;
}

}  // namespace

CMainFrame::CMainFrame(IClockHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      host_(host) {
  setObjectName(QStringLiteral("mainframe"));
  setWindowTitle(QString::fromUtf8(ClockText(IDS_TITLE)));
  setWindowIcon(ClockIcon());

  pages_ = new QTabWidget(this);
  // The sheet passes its focus on to its row of tabs and never has it
  // itself; a focusable sheet would be a nameless "filler" to a screen reader.
  // (Qt hands a policy on to the focus proxy: the tabs get theirs back.)
  pages_->setFocusPolicy(Qt::NoFocus);
  pages_->tabBar()->setFocusPolicy(Qt::TabFocus);
  clock_ = new CClockPage(host_, pages_);
  events_ = new CEventsPage(host_, pages_);
  advice_ = new CAdvicePage(host_, pages_);
  hotKeys_ = new CHotKeysPage(this, host_.settings().profile(), pages_);
  pages_->addTab(clock_, QStringLiteral("Czas"));
  pages_->addTab(events_, QStringLiteral("Komunikaty"));
  pages_->addTab(advice_, QStringLiteral("Porady"));
  pages_->addTab(hotKeys_, QStringLiteral("Klawisze skrótu"));

  auto* column = new QWidget(this);
  BuildButtons(column);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(pages_, 1);
  layout->addWidget(column);
  new app::CSystemMenu(this, Program(), [this] { bus_->commands().Dispatch(ID_APP_ABOUT); });
  AddPageKeys();

  tick_.setTimerType(Qt::PreciseTimer);
  tick_.setInterval(1000);
  connect(&tick_, &QTimer::timeout, this, [this] { OnTick(); });
}

CMainFrame::~CMainFrame() {
  tick_.stop();
  // The hot keys go with the window that receives them.
  if (hotKeys_ != nullptr) hotKeys_->End();
}

void CMainFrame::BuildButtons(QWidget* column) {
  const QFontMetrics metrics(font());
  const int tabsHeight = pages_->tabBar()->sizeHint().height();
  int widest = 0;
  int bottom = 0;
  for (int id = IDC_HOUR; id <= IDC_EXIT; ++id) {
    const ButtonSpec spec = ParseButtonSpec(ClockText(id));
    auto* button = new QPushButton(QString::fromStdString(spec.caption), column);
    button->setObjectName(app::ControlName(id));
    const int width = HorizontalUnits(metrics, spec.width) + 16;
    const int height = std::max(VerticalUnits(metrics, spec.height), button->sizeHint().height());
    // The buttons line up with the pages, below the row of tabs.
    const int top = VerticalUnits(metrics, spec.top) + tabsHeight;
    button->setGeometry(0, top, width, height);
    button->setAutoDefault(false);
    widest = std::max(widest, width);
    bottom = std::max(bottom, top + height);
    buttons_[id] = button;
    connect(button, &QPushButton::clicked, this, [this, id] { bus_->commands().Dispatch(id); });
  }
  buttons_[IDC_HOUR]->setDefault(true);
  column->setMinimumSize(widest + 8, bottom + 8);
}

void CMainFrame::AddPageKeys() {
  // The sheet changes its page with these keys wherever the focus is in the
  // window: on a page, on its tabs and in the button column beside it, also
  // where a control would take them for itself (the "Częstość" box would
  // change the frequency with Ctrl+PgDn, a list would move its selection).
  // The hot-key field takes every key before a shortcut sees it: there they
  // are a combination to set.
  const std::pair<QKeyCombination, int> keys[] = {
      {Qt::CTRL | Qt::Key_Tab, 1},       {Qt::CTRL | Qt::Key_PageDown, 1},          {Qt::CTRL | Qt::Key_PageUp, -1},
      {Qt::CTRL | Qt::Key_Backtab, -1},  {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1},
      {Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, -1},
  };
  for (const auto& [combination, step] : keys) {
    auto* shortcut = new QShortcut(QKeySequence(combination), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, step = step] { TurnPage(step); });
    // Shift+Tab comes as Backtab or as Tab with Shift: where both match, the
    // key still turns the page, once.
    connect(shortcut, &QShortcut::activatedAmbiguously, this, [this, step = step] { TurnPage(step); });
  }
}

void CMainFrame::TurnPage(int step) {
  const int count = pages_->count();
  if (count < 2) return;
  QWidget* focus = QApplication::focusWidget();
  const bool onPage = focus != nullptr && focus != pages_->tabBar() && pages_->isAncestorOf(focus);
  pages_->setCurrentIndex((pages_->currentIndex() + step + count) % count);
  if (!onPage) return;
  // The focus was on the page that went: it goes to the first control of the
  // new one, as a property sheet does, so that a screen reader says where
  // the user is.
  QWidget* page = pages_->currentWidget();
  for (QWidget* next = page->nextInFocusChain(); next != page; next = next->nextInFocusChain()) {
    if (!page->isAncestorOf(next)) continue;
    if ((next->focusPolicy() & Qt::TabFocus) && next->isVisibleTo(page) && next->isEnabled()) {
      next->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  pages_->tabBar()->setFocus(Qt::TabFocusReason);
}

QPushButton* CMainFrame::Button(int id) const {
  const auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

bool CMainFrame::Create(std::string& error) {
  bus_ = app::CBusWindow::Create(ClockText(IDS_TITLE), this, error);
  if (!bus_) return false;
  RegisterCommands();
  // Every page reads its settings; the events page loads its file.
  for (SPropertyPage* page : std::initializer_list<SPropertyPage*>{clock_, events_, advice_}) page->LoadSettings();
  hotKeys_->Initialise();
  pages_->setCurrentIndex(0);
  // The reminders of the minute of the start are checked even when the
  // first tick comes late.
  scheduler_.Started(CClockTime::FromTime(host_.Now()));
  tick_.start();
  return tick_.isActive();
}

void CMainFrame::RegisterCommands() {
  app::CCommandMap& map = bus_->commands();
  map.On({IDC_HOUR, ID_READ_HOUR}, [this] { ReadHour(); });
  map.On({IDC_DATE, ID_READ_DATE}, [this] { ReadDate(); });
  map.On({IDC_ADVICE, ID_READ_ADVICE}, [this] { ReadAdvice(); });
  map.On({IDC_EXIT, ID_APP_END}, [this] { Exit(); });
  map.On({IDC_INFO, ID_APP_ABOUT}, [this] { ShowAbout(); });
  map.On(IDC_IMPORTANT, [this] { events_->ShowImportant(); });
  map.On(IDC_HELP, [this] { ShowHelp(); });
}

bool CMainFrame::event(QEvent* event) {
  if (event->type() == hotkey::HotKeyEvent::type()) {
    const int command = static_cast<hotkey::HotKeyEvent*>(event)->command();
    if (command == ID_READ_HOUR || command == ID_READ_DATE || command == ID_READ_ADVICE) {
      bus_->commands().Dispatch(command);
    }
    return true;
  }
  return QWidget::event(event);
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
  // Enter anywhere in the window that does not take it itself presses the
  // default button, "&Godzina", as in a dialog.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
    QPushButton* hour = Button(IDC_HOUR);
    if (hour != nullptr && hour->isEnabled()) {
      hour->click();
      return;
    }
  }
  QWidget::keyPressEvent(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  event->ignore();
  // The window closes by ending the program, from the event loop.
  bus_->PostCommand(ID_APP_END);
}

void CMainFrame::ReadHour() {
  host_.SpeakText(clock_->HourText(CClockTime::FromTime(host_.Now())), true);
}

void CMainFrame::ReadDate() {
  host_.SpeakText(clock_->DateText(CClockTime::FromTime(host_.Now())), true);
}

void CMainFrame::ReadAdvice() {
  const std::string text = advice_->ReadAdvice();
  if (!text.empty()) host_.SpeakText(text, true);
}

void CMainFrame::ShowAbout() { app::ShowAboutBox(Program(), this); }

void CMainFrame::ShowHelp() {
  app::OpenHelpPage(Program(), helpFolder_, this, [this](const std::string& text) { TellUser(this, text); });
}

void CMainFrame::OnTick() {
  if (ticking_ || ending_) return;
  ticking_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{ticking_};
  try {
    const CClockTime now = CClockTime::FromTime(host_.Now());
    const TickPlan plan = scheduler_.Plan(now);
    if (!plan.checkMinutes.empty()) events_->MinuteCheck(plan.checkMinutes, now);
    if (!plan.minuteTick) {
      // A chime that waits for the server goes before the reminders: it is
      // of this minute only, they keep.
      if (!clock_->SayWaitingChime(now)) events_->SpeakingTick();
    } else if (plan.target == TickTarget::ClockPage) {
      clock_->MinuteTick(now);
    } else if (plan.target == TickTarget::AdvicePage) {
      advice_->MinuteTick(now);
    }
  } catch (const std::exception& error) {
    // One tick fails; the next runs as usual.
    std::fprintf(stderr, "horalo: %s\n", error.what());
  }
}

void CMainFrame::Exit(int code) {
  if (ending_) return;
  ending_ = true;
  tick_.stop();
  events_->HideImportant();
  // A list that cannot be saved does not keep the program from ending.
  events_->SaveIfModified();
  hotKeys_->End();
  for (SPropertyPage* page : std::initializer_list<SPropertyPage*>{clock_, events_, advice_}) page->SaveSettings();
  hide();
  QCoreApplication::exit(code);
}

}  // namespace vokar::clock
