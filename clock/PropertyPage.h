// SPropertyPage: the base of the clock, events and advice pages. Each keeps
// its settings in a section of its own (Clock, Events, Advice) and has an
// initial sound (a wave file played before its readings) and a prefix (text
// put before them), from which it builds the start of every reading.
#pragma once

#include <QString>
#include <QWidget>

#include <map>
#include <string>

#include "ClockHost.h"
#include "Controls.h"
#include "Widgets.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace vokar::clock {

class SPropertyPage : public QWidget {
 public:
  SPropertyPage(IClockHost& host, std::string section, int dialogId, QWidget* parent = nullptr);

  const std::string& section() const { return section_; }

  // Reads the page's values (the first time the page is shown) and writes
  // them (when it is destroyed at the end of the program).
  virtual void LoadSettings();
  virtual void SaveSettings();

  // The wave-insert tag of the initial sound, \Wav="NAME"\, when the sound
  // is on and named; empty otherwise. Code page 1250.
  std::string SoundTag() const;
  // The prefix as typed, in code page 1250.
  std::string Prefix() const;

  // A control by its number, or nothing.
  QWidget* Control(int id) const { return controls_.Find(id); }

  // Refreshes the enabled state of the page's controls.
  virtual void RefreshEnabling();

 protected:
  // The group of the initial sound and the prefix, for the page's layout.
  QGroupBox* BuildSoundGroup();
  void AddControl(int id, QWidget* widget) { controls_.Add(id, widget); }
  // A file's field (app::MakeFileField) whose path and "..." button are the
  // page's controls pathId and browseId.
  app::FileField AddFileField(int pathId, int browseId, const QString& caption, const QString& what,
                              QWidget* parent);
  const app::CSettings& settings() const { return host_.settings(); }

  IClockHost& host_;

 private:
  void BrowseSound();

  std::string section_;
  app::CControls controls_;
  QCheckBox* initSound_ = nullptr;
  QLineEdit* initSoundName_ = nullptr;
  QPushButton* browse_ = nullptr;
  QLineEdit* prefix_ = nullptr;
};

// A file dialog of the clock, its texts in Polish: for opening (an existing
// file, or any name when newAllowed) or for saving (with the overwrite
// question). The chosen path, or an empty text when the user cancelled.
QString AskForFile(QWidget* owner, bool save, const QString& tableFilter, const QString& start, bool newAllowed = false);
// The name with the extension added when it has none ("kuranty" ->
// "kuranty.wav").
QString WithDefaultExtension(const QString& name, const QString& extension);

}  // namespace vokar::clock
