#include "Widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>

namespace vokar::app {

void BringForward(QWidget* window) {
  if (window->isMinimized()) window->showNormal();
  window->show();
  window->raise();
  window->activateWindow();
}

QPushButton* BrowseButton(const QString& what, QWidget* parent) {
  auto* button = new QPushButton(QStringLiteral("..."), parent);
  button->setFixedWidth(32);
  button->setAutoDefault(false);
  button->setToolTip(what);
  SetScreenReaderName(button, what);
  return button;
}

void StackIn(QWidget* group, std::initializer_list<QWidget*> widgets) {
  auto* layout = new QVBoxLayout(group);
  for (QWidget* widget : widgets) layout->addWidget(widget);
}

FileField MakeFileField(const QString& caption, const QString& what, QWidget* parent) {
  FileField field{};
  field.label = new QLabel(caption, parent);
  field.path = new QLineEdit(parent);
  field.path->setReadOnly(true);
  field.label->setBuddy(field.path);
  field.browse = BrowseButton(what, parent);
  field.row = new QHBoxLayout;
  field.row->addWidget(field.path, 1);
  field.row->addWidget(field.browse);
  return field;
}

void CentreOnScreen(QWidget* window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    window->move(screen->availableGeometry().center() - QPoint(window->width() / 2, window->height() / 2));
}

QString QtFileFilter(const QString& platformFilter) {
  const QStringList parts = platformFilter.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    QString pattern = parts[i + 1].trimmed();
    if (description.isEmpty() || pattern.isEmpty()) continue;
    const int paren = description.indexOf(QLatin1Char('('));
    if (paren > 0) description = description.left(paren).trimmed();
    if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    filters << description + QStringLiteral(" (") + pattern + QStringLiteral(")");
  }
  return filters.join(QStringLiteral(";;"));
}

QPixmap DrawPixmap(int size, const std::function<void(QPainter&, int)>& draw) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  draw(painter, size);
  painter.end();
  return pixmap;
}

QIcon DrawIcon(std::initializer_list<int> sizes, const std::function<void(QPainter&, int)>& draw) {
  QIcon icon;
  for (const int size : sizes) icon.addPixmap(DrawPixmap(size, draw));
  return icon;
}

QIcon SuiteIcon(const QString& name) {
  QIcon icon;
  for (const int size : {16, 32, 48}) {
    const QPixmap picture(QStringLiteral(":/icons/%1-%2.png").arg(name).arg(size));
    if (!picture.isNull()) icon.addPixmap(picture);
  }
  return icon;
}

QString ScreenReaderName(const QString& caption) {
  QString name;
  for (int i = 0; i < caption.size(); ++i) {
    // "&&" is a real ampersand; a single one marks the mnemonic.
    if (caption[i] == QLatin1Char('&')) {
      if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) name += caption[++i];
      continue;
    }
    name += caption[i];
  }
  name = name.trimmed();
  for (const QString& end : {QStringLiteral("..."), QStringLiteral("…"), QStringLiteral(":")}) {
    if (name.endsWith(end)) name = name.left(name.size() - end.size()).trimmed();
  }
  return name;
}

void SetScreenReaderName(QWidget* widget, const QString& caption) {
  widget->setAccessibleName(ScreenReaderName(caption));
}

void SetBuddy(QLabel* label, QWidget* control) {
  label->setBuddy(control);
  SetScreenReaderName(control, label->text());
}

namespace {

// Qt asks each factory for every class of an object's ancestry, the most
// derived first; "QWidget" itself comes only to a window that no dialog,
// main window or other class of Qt's claimed before.
QAccessibleInterface* PlainWindowInterface(const QString& className, QObject* object) {
  if (className != QLatin1String("QWidget") || object == nullptr || !object->isWidgetType()) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  // Popups, tool tips and the like keep what Qt gives them.
  switch (widget->windowType()) {
    case Qt::Window:
      return new QAccessibleWidget(widget, QAccessible::Window);
    case Qt::Dialog:
      return new QAccessibleWidget(widget, QAccessible::Dialog);
    default:
      return nullptr;
  }
}

}  // namespace

void GiveWindowsTheirRole() {
  static const bool installed = [] {
    QAccessible::installFactory(&PlainWindowInterface);
    return true;
  }();
  (void)installed;
}

}  // namespace vokar::app
