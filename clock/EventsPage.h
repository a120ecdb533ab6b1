// CEventsPage, "Komunikaty": the reminder events of the events file, one list
// per repeat kind, with their editing, the file (its path kept in the
// settings), the check of every minute against the clock, the queue of texts
// spoken one by one whenever the server is idle, and the dialog of very
// important events that wait for the user's confirmation.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Events.h"
#include "PropertyPage.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace vokar::clock {

class CEventsListBox;
class CImportantEventsDlg;

class CEventsPage final : public SPropertyPage {
 public:
  explicit CEventsPage(IClockHost& host, QWidget* parent = nullptr);
  ~CEventsPage() override;

  // Loading the settings loads the events file and shows the very important
  // occurrences missed while the program was not running.
  void LoadSettings() override;
  void SaveSettings() override;
  void RefreshEnabling() override;

  // The page's buttons.
  void Add();
  void Modify();
  void Delete();
  void Browse();
  void SelectKind(int kind);

  // Saves a modified list first, then reads the file into the lists. A file
  // that cannot be opened or read changes nothing (at start-up a damaged
  // file is forgotten, so that it is never written over). The user is told.
  bool LoadFile(const std::string& utf8Path, bool atStartUp = false);
  // Writes the lists when modified; asks for a path when there is none.
  // False when something is left unsaved (no path chosen, or the write
  // failed, which the user was told).
  bool SaveIfModified();

  // The minute check of these minutes (the current one last) at now.
  void MinuteCheck(const std::vector<CClockTime>& minutes, const CClockTime& now);
  // One second's speaking: the oldest queued text when the server is idle.
  void SpeakingTick();
  // Called once the speech client is connected: the sound of very important
  // events found at start-up.
  void OnConnected();

  // "Komunika&ty...": shows the very important events.
  void ShowImportant();
  void HideImportant();

  CEventLists& lists() { return lists_; }
  const std::string& path() const { return path_; }
  int CurrentKind() const;
  CImportantEventsDlg& importantDialog() { return *important_; }
  CEventsListBox& listBox() { return *list_; }

 private:
  void ShowKind(int kind, int selectRow);
  void Apply(const struct MinuteCheckResult& result);
  void PlayImportantSound();
  void Confirm();
  void ReadEvent(const EVENT_DSCR& event);
  bool SaveFile();
  bool WriteStream(const std::string& utf8Path);

  CEventLists lists_;
  std::string path_;  // the events file, UTF-8; empty when none
  std::unique_ptr<CImportantEventsDlg> important_;
  CEventsListBox* list_ = nullptr;
  QComboBox* kind_ = nullptr;
  QLineEdit* pathEdit_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* modify_ = nullptr;
  bool soundWhenConnected_ = false;
  // After a failed Speak the queue waits a little, so that a lost server
  // does not bring a message every second.
  std::int64_t retryAfter_ = 0;
};

}  // namespace vokar::clock
