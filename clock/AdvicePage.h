// CAdvicePage, "Porady": a text file of advice read a line at a time, at
// random or in turn, now and then (once an hour, a quarter or five minutes,
// at a random minute of each period) and on demand. Lines longer than 255
// characters count as several lines, as they are read in pieces of 255.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "PropertyPage.h"
#include "Schedule.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vokar::clock {

class CAdvicePage final : public SPropertyPage {
 public:
  explicit CAdvicePage(IClockHost& host, QWidget* parent = nullptr);

  void LoadSettings() override;
  void SaveSettings() override;

  // 0 none, 1 hourly, 2 every quarter, 3 every five minutes (4: none, and no
  // button checked).
  int Frequency() const;
  bool InTurn() const;

  // Counts the lines of the file (the user is told when it fails, and the
  // path is forgotten).
  bool LoadFile(const std::string& utf8Path);
  void Browse();

  // One piece of advice with the page's sound and prefix (code page 1250),
  // or nothing when there is none to read.
  std::string ReadAdvice();

  // The page's minute tick: a piece of advice at the period's chosen minute.
  void MinuteTick(const CClockTime& now);

  std::int64_t lineCount() const { return lineCount_; }
  std::int64_t lastIndex() const { return lastIndex_; }
  const std::string& path() const { return path_; }

 private:
  std::array<QRadioButton*, 4> frequency_{};
  QButtonGroup* frequencyGroup_ = nullptr;
  QRadioButton* random_ = nullptr;
  QRadioButton* inTurn_ = nullptr;
  QLineEdit* file_ = nullptr;
  QPushButton* browse_ = nullptr;
  int storedFrequency_ = 1;
  std::string path_;
  std::int64_t lineCount_ = 0;
  std::int64_t lastIndex_ = 0;
  CAdviceTimer timer_;
};

}  // namespace vokar::clock
