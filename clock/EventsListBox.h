// CEventsListBox: the owner-drawn list of events. Each row shows "!" in dark
// red for a very important event, the time column in bold (its form depends
// on the event's kind) and the start of the text in double quotes. The list
// shows events it does not own; whoever fills it keeps them alive.
#pragma once

#include <QListWidget>
#include <QStyledItemDelegate>

#include <optional>
#include <vector>

#include "Events.h"

namespace vokar::clock {

class CEventsListBox final : public QListWidget {
 public:
  explicit CEventsListBox(QWidget* parent = nullptr);

  // Shows these events in this order; the time column is as wide as the
  // sample of the kind (mixed lists use the widest). The selection is
  // cleared.
  void ShowEvents(const std::vector<const EVENT_DSCR*>& events, std::optional<RepeatKind> kind);
  const EVENT_DSCR* EventAt(int row) const;
  const EVENT_DSCR* SelectedEvent() const { return EventAt(currentRow()); }

  // The time column's width in pixels, and the date separator used for
  // one-date events.
  int timeColumnWidth() const { return timeWidth_; }
  // Where the text column starts in a row, and the width a row needs to
  // show its whole text column.
  int textColumnLeft() const { return kTimeColumnLeft + timeWidth_; }
  int RowWidth(const EVENT_DSCR& event) const;
  // The width a row of any kind needs for its longest form (the time of a
  // one-date event and 32 of the widest letters of text). The list is never
  // narrower than it, nor than the widest row it shows, and so has no
  // horizontal scroll bar.
  int WidestRowWidth() const;
  static constexpr int kTimeColumnLeft = 12;
  unsigned char dateSeparator() const { return dateSeparator_; }
  void SetDateSeparator(unsigned char separator) { dateSeparator_ = separator; }

 private:
  // The list's width when its rows are as wide as this.
  int WidthShowing(int rowWidth) const;

  int timeWidth_ = 0;
  unsigned char dateSeparator_ = '/';
};

class CEventRowDelegate final : public QStyledItemDelegate {
 public:
  explicit CEventRowDelegate(CEventsListBox* list);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  CEventsListBox* list_;
};

}  // namespace vokar::clock
