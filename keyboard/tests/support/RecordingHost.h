// A window for the echo engine's tests: it records every text handed to the
// server, answers with results the test scripts (0, the server took it, when
// nothing is scripted), and can run a piece of the test inside a Speak, as
// the message loop that Speak runs would deliver key events and ticks there.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "KlavoHost.h"

namespace vokar::keyboard::testing {

class RecordingHost final : public IKlavoHost {
 public:
  struct Spoken {
    std::string text;
    Interrupt interrupt;
  };

  int Speak(const std::string& text, Interrupt interrupt) override {
    attempts.push_back({text, interrupt});
    if (duringSpeak) {
      auto nested = std::move(duringSpeak);
      duringSpeak = nullptr;
      nested();
    }
    int result = 0;
    if (!results.empty()) {
      result = results.front();
      results.pop_front();
    } else if (refuseAll) {
      result = 1;
    }
    if (result == 0) spoken.push_back({text, interrupt});
    return result;
  }
  void BreakSpeech() override { ++breaks; }
  bool EchoMode() const override { return echo; }
  bool SoundOn(Sound sound) const override {
    const auto it = sounds.find(sound);
    return it == sounds.end() || it->second;
  }
  bool DelayedTalk() const override { return delayedTalk; }
  void RefreshDisplay() override { ++refreshes; }

  // The texts the server took, in order.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& s : spoken) texts.push_back(s.text);
    return texts;
  }
  void Forget() {
    spoken.clear();
    attempts.clear();
  }

  bool echo = false;
  bool delayedTalk = true;
  bool refuseAll = false;
  std::map<Sound, bool> sounds;  // missing: on
  std::deque<int> results;       // scripted results, one per Speak
  std::function<void()> duringSpeak;
  std::vector<Spoken> spoken;
  std::vector<Spoken> attempts;
  int breaks = 0;
  int refreshes = 0;
};

}  // namespace vokar::keyboard::testing
