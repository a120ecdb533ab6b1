// What the accessibility walk cannot read through AT-SPI: the letter each
// control and menu item is reached by. A screen reader is told a menu item's
// shortcut (Ctrl+S) instead of its letter, and a disabled control offers no
// key at all, so the walk asks the program itself: this plugin, loaded into
// the program under test by Qt (QT_QPA_GENERIC_PLUGINS=vokarkeys:LOGFILE, the
// plugin's folder on QT_PLUGIN_PATH), appends one JSON line to LOGFILE each
// time a window or a menu shows or changes what it shows:
//   {"pid": 12, "kind": "window", "title": "...", "items": [{"text": "&Zamknij", "enabled": true}]}
// A window's items are the captions that take Alt+letter in it: the showing
// buttons, check boxes, labels with a buddy, group titles, tabs and the menu
// bar's menus. A menu's items are its visible entries, each menu of the menu
// bar listed with the window, a popup (the system menu) when it opens.
// A window's record also says what its combo boxes and spin boxes show, and
// where they are in their window, so that the walk can compare the value a
// screen reader reads with the text the screen shows:
//   "values": [{"role": "combo box", "text": "raz na dzień", "rect": [x, y, width, height]}]
// (x and y from the window's top left corner, so that a window the window
// manager moves after the record was written is still matched; written
// again whenever one of them changes). Nothing else of the program changes.
#include <fcntl.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGenericPlugin>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSpinBox>
#include <QTabBar>
#include <QTimer>
#include <QWidget>

namespace {

QJsonObject Item(const QString& text, bool enabled) {
  return QJsonObject{{"text", text}, {"enabled", enabled}};
}

QString MenuTitle(const QMenu* menu) {
  QString title = menu->title();
  if (title.isEmpty()) title = menu->accessibleName();
  return title.remove(QLatin1Char('&'));
}

class KeysReport final : public QObject {
 public:
  explicit KeysReport(const QString& log) : log_(log) { qApp->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) return false;
    // What shows changes with Show and Hide; where it is, when the window is
    // placed or resized, and when a layout that settles after the window
    // showed moves one of the boxes whose text is reported.
    const bool reportedBox = qobject_cast<QComboBox*>(widget) != nullptr || qobject_cast<QAbstractSpinBox*>(widget) != nullptr;
    const bool placed =
        (event->type() == QEvent::Move || event->type() == QEvent::Resize) && (widget->isWindow() || reportedBox);
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide || placed) Schedule(widget->window());
    return false;
  }

 private:
  void Schedule(QWidget* window) {
    if (pending_.contains(window)) return;
    pending_.append(window);
    // Once the window has settled: a page change hides and shows many.
    QTimer::singleShot(0, this, [this] { Flush(); });
  }

  // What a combo box or spin box shows, and where: its record is written
  // again when that changes.
  QJsonObject Value(const char* role, QWidget* widget, const QString& text) {
    if (!widget->property("vokarkeysWatched").toBool()) {
      widget->setProperty("vokarkeysWatched", true);
      auto again = [this, widget] { Schedule(widget->window()); };
      if (auto* combo = qobject_cast<QComboBox*>(widget)) connect(combo, &QComboBox::currentTextChanged, this, again);
      if (auto* spin = qobject_cast<QSpinBox*>(widget)) connect(spin, &QSpinBox::textChanged, this, again);
      if (auto* spin = qobject_cast<QDoubleSpinBox*>(widget)) connect(spin, &QDoubleSpinBox::textChanged, this, again);
      if (auto* edit = qobject_cast<QDateTimeEdit*>(widget)) connect(edit, &QDateTimeEdit::dateTimeChanged, this, again);
    }
    const QPoint corner = widget->mapTo(widget->window(), QPoint(0, 0));
    return QJsonObject{{"role", role},
                       {"text", text},
                       {"rect", QJsonArray{corner.x(), corner.y(), widget->width(), widget->height()}}};
  }

  void Flush() {
    const auto windows = pending_;
    pending_.clear();
    for (const QPointer<QWidget>& window : windows) {
      if (window.isNull() || !window->isVisible()) continue;
      if (auto* menu = qobject_cast<QMenu*>(window.data())) {
        Write("menu", MenuTitle(menu), MenuItems(menu));
      } else {
        Window(window);
      }
    }
  }

  static QJsonArray MenuItems(const QMenu* menu) {
    QJsonArray items;
    for (const QAction* action : menu->actions()) {
      if (action->isSeparator() || !action->isVisible() || action->text().isEmpty()) continue;
      items.append(Item(action->text(), action->isEnabled()));
    }
    return items;
  }

  void Window(QWidget* window) {
    QJsonArray items, values;
    QList<const QMenu*> menus;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
      if (widget->window() != window || !widget->isVisible()) continue;
      const bool enabled = widget->isEnabled();
      if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        if (!button->text().isEmpty()) items.append(Item(button->text(), enabled));
      } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->buddy() != nullptr) items.append(Item(label->text(), label->buddy()->isEnabled()));
      } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        if (!group->title().isEmpty()) items.append(Item(group->title(), enabled));
      } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
        for (int i = 0; i < tabs->count(); ++i) items.append(Item(tabs->tabText(i), tabs->isTabEnabled(i)));
      } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        values.append(Value("combo box", combo, combo->currentText()));
      } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget)) {
        values.append(Value("spin button", spin, spin->text()));
      } else if (auto* bar = qobject_cast<QMenuBar*>(widget)) {
        for (QAction* action : bar->actions()) {
          if (action->isSeparator() || !action->isVisible()) continue;
          items.append(Item(action->text(), action->isEnabled()));
          if (action->menu() != nullptr) menus.append(action->menu());
        }
      }
    }
    Write("window", window->windowTitle(), items, values);
    // The menus of the menu bar and the menus inside them, each a scope of
    // its own (in an open menu the letter is pressed alone).
    for (int i = 0; i < menus.size(); ++i) {
      Write("menu", MenuTitle(menus[i]), MenuItems(menus[i]));
      for (const QAction* action : menus[i]->actions()) {
        if (action->menu() != nullptr && action->isVisible()) menus.append(action->menu());
      }
    }
  }

  void Write(const char* kind, const QString& title, const QJsonArray& items, const QJsonArray& values = {}) {
    QJsonObject record{{"pid", QCoreApplication::applicationPid()}, {"kind", kind}, {"title", title}, {"items", items}};
    if (!values.isEmpty()) record.insert("values", values);
    const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
    // One write per record with O_APPEND: records never mix.
    const int fd = ::open(log_.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (::write(fd, line.constData(), static_cast<size_t>(line.size())) < 0) {
      // Nothing to do: the walk then misses a record and says so.
    }
    ::close(fd);
  }

  QString log_;
  QList<QPointer<QWidget>> pending_;
};

class KeysReportPlugin final : public QGenericPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "vokarkeys.json")

 public:
  QObject* create(const QString& key, const QString& logPath) override {
    if (key.compare(QLatin1String("vokarkeys"), Qt::CaseInsensitive) != 0 || logPath.isEmpty()) return nullptr;
    return new KeysReport(logPath);
  }
};

}  // namespace

#include "KeysReport.moc"
