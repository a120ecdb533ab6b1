#include "EventsListBox.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>

#include "Cp1250.h"
#include "EventRows.h"

namespace vokar::clock {
namespace {

constexpr int kEventRole = Qt::UserRole + 1;
// Dark red of the "!" of very important events.
const QColor kImportantColour(192, 0, 0);
// The background of the selected row while the list has no focus.
const QColor kInactiveSelection(127, 127, 127);

QFont Bold(QFont font) {
  font.setBold(true);
  return font;
}

// The widest letter of the code page in this font ("W" in most): a text
// the list may show is never wider than as many of it.
QChar WidestLetter(const QFontMetrics& metrics) {
  QChar widest = QLatin1Char('W');
  int widestAdvance = metrics.horizontalAdvance(widest);
  for (int byte = 0; byte < 256; ++byte) {
    if (!cp1250::IsAlpha(static_cast<unsigned char>(byte))) continue;
    const QChar letter(static_cast<char16_t>(cp1250::ToUnicode(static_cast<unsigned char>(byte))));
    if (const int advance = metrics.horizontalAdvance(letter); advance > widestAdvance) {
      widest = letter;
      widestAdvance = advance;
    }
  }
  return widest;
}

}  // namespace

CEventsListBox::CEventsListBox(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new CEventRowDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  // The whole form of every row is seen: the list is never narrower than
  // the widest, and it grows with the window.
  setMinimumWidth(WidthShowing(WidestRowWidth()));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

int CEventsListBox::WidthShowing(int rowWidth) const {
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  return rowWidth + 2 * frameWidth() + scrollBar + 4;
}

int CEventsListBox::RowWidth(const EVENT_DSCR& event) const {
  const QString text = QString::fromStdString(EventTextColumn(event.text));
  return textColumnLeft() + QFontMetrics(font()).horizontalAdvance(text) + 4;
}

int CEventsListBox::WidestRowWidth() const {
  const QString sample = QString::fromUtf8(TimeColumnSample(RepeatKind::OnDate));
  const int time = QFontMetrics(Bold(font())).horizontalAdvance(sample);
  // Thirty-two of the widest letters, and the quotes and dots.
  const QFontMetrics metrics(font());
  const QString text = QStringLiteral("\"") + QString(32, WidestLetter(metrics)) + QStringLiteral("...\"");
  return kTimeColumnLeft + time + 10 + metrics.horizontalAdvance(text) + 4;
}

void CEventsListBox::ShowEvents(const std::vector<const EVENT_DSCR*>& events, std::optional<RepeatKind> kind) {
  // The rows shown so far may name events that are gone (a row just
  // deleted), and clearing a selection measures the selected row once more:
  // they are forgotten first, with no one told.
  {
    const QSignalBlocker quiet(model());
    for (int row = 0; row < count(); ++row) item(row)->setData(kEventRole, QVariant::fromValue(quintptr{0}));
  }
  clear();
  const QFontMetrics bold(Bold(font()));
  timeWidth_ = bold.horizontalAdvance(QString::fromUtf8(TimeColumnSample(kind.value_or(RepeatKind::OnDate)))) + 10;
  // Signs wider than any letter (a row of "@" or "%") widen the list so far
  // as they need.
  int widest = WidestRowWidth();
  for (const EVENT_DSCR* event : events) widest = std::max(widest, RowWidth(*event));
  setMinimumWidth(WidthShowing(widest));
  for (const EVENT_DSCR* event : events) {
    auto* item = new QListWidgetItem(this);
    item->setData(kEventRole, QVariant::fromValue(reinterpret_cast<quintptr>(event)));
    // The plain text serves screen readers and searches by typing.
    item->setText(QString::fromStdString(EventTimeColumn(*event, dateSeparator_) + " " +
                                         EventTextColumn(event->text)));
  }
  setCurrentRow(-1);
}

const EVENT_DSCR* CEventsListBox::EventAt(int row) const {
  const QListWidgetItem* it = item(row);
  if (it == nullptr) return nullptr;
  return reinterpret_cast<const EVENT_DSCR*>(it->data(kEventRole).value<quintptr>());
}

CEventRowDelegate::CEventRowDelegate(CEventsListBox* list) : QStyledItemDelegate(list), list_(list) {}

QSize CEventRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const QFontMetrics bold(Bold(option.font));
  const EVENT_DSCR* event = list_->EventAt(index.row());
  return {event != nullptr ? list_->RowWidth(*event) : list_->textColumnLeft(), bold.height() + 2};
}

void CEventRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const EVENT_DSCR* event = list_->EventAt(index.row());
  if (event == nullptr) return;
  const QPalette& palette = option.palette;
  const bool selected = option.state & QStyle::State_Selected;
  const bool focus = list_->hasFocus();
  QColor background = palette.color(QPalette::Base);
  QColor text = palette.color(QPalette::Text);
  if (selected) {
    background = focus ? palette.color(QPalette::Highlight) : kInactiveSelection;
    text = palette.color(QPalette::HighlightedText);
  }
  painter->save();
  const QRect r = option.rect;
  painter->fillRect(r, background);
  const QFont normal = option.font;
  const QFont bold = Bold(normal);
  const int baseline = r.top() + QFontMetrics(bold).ascent() + 1;
  if (event->important) {
    painter->setFont(bold);
    painter->setPen(kImportantColour);
    painter->drawText(r.left() + 4, baseline, QStringLiteral("!"));
  }
  painter->setPen(text);
  painter->setFont(bold);
  painter->drawText(r.left() + CEventsListBox::kTimeColumnLeft, baseline,
                    QString::fromStdString(EventTimeColumn(*event, list_->dateSeparator())));
  painter->setFont(normal);
  painter->drawText(r.left() + list_->textColumnLeft(), baseline,
                    QString::fromStdString(EventTextColumn(event->text)));
  painter->restore();
}

}  // namespace vokar::clock
