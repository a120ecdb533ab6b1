#include "AlfCheck.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "AllophoneIndex.h"
#include "Inventory.h"

namespace vokar::alf {
namespace {

using namespace vokar::classbits;

// The largest block one chunk of speech can hold.
constexpr std::size_t kChunkLimit = 262144;
// How far from the middle value 128 an entry may start or end.
constexpr int kStepLimit = 4;

bool IsVowelIndex(int i) { return i >= 1 && i <= 48; }

bool IsNasalVowelIndex(int i) {
  if (!IsVowelIndex(i)) return false;
  const int base = (i - 1) % 16 + 1;
  return base == 7 || base == 8 || base == 15 || base == 16;
}

bool IsPauseIndex(int i) { return i >= allo::kPauseDoubleLetter && i <= allo::kPauseInterSentence; }

std::string Hex(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", v);
  return text;
}

class Checker {
 public:
  explicit Checker(const AlfFile& file) : file_(file) {
    for (const AlfEntry& e : file.entries) {
      if (slots_.count(e.index) != 0) {
        Warn(e.index, e.name, "stored twice; the later entry takes the slot");
      }
      slots_[e.index] = &e;
    }
  }

  std::vector<Finding> Run() {
    CheckFormat();
    CheckProduced();
    CheckNames();
    CheckVoicing();
    CheckVowels();
    CheckPausesAndSizes();
    std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) {
      return a.index < b.index;
    });
    return std::move(findings_);
  }

 private:
  const AlfEntry* At(int index) const {
    const auto it = slots_.find(index);
    return it == slots_.end() ? nullptr : it->second;
  }

  void Add(Severity severity, int index, std::string name, std::string text) {
    findings_.push_back(Finding{severity, index, std::move(name), std::move(text)});
  }
  void Error(int index, std::string name, std::string text) {
    Add(Severity::Error, index, std::move(name), std::move(text));
  }
  void Warn(int index, std::string name, std::string text) {
    Add(Severity::Warning, index, std::move(name), std::move(text));
  }

  void CheckFormat() {
    const WaveFormat& f = file_.format;
    if (!(f == kVoiceFormat)) {
      Error(-1, {}, "sample format is " + std::to_string(f.bitsPerSample) + "-bit, " +
                        std::to_string(f.channels) + " channel(s), " +
                        std::to_string(f.samplesPerSec) +
                        " Hz; the pause entries need 8-bit unsigned mono at 22050 Hz");
    }
  }

  void CheckProduced() {
    for (int index : ProducedIndices()) {
      const auto standard = FindStandard(index);
      const std::string expected =
          standard ? std::string(standard->description) + ", usually named '" +
                         std::string(standard->name) + "'"
                   : std::string("no standard entry");
      const AlfEntry* e = At(index);
      if (e == nullptr) {
        Error(index, standard ? std::string(standard->name) : std::string(),
              "missing (" + expected + ")");
      } else if (e->samples.empty() && !IsPauseIndex(index)) {
        Error(index, e->name, "no samples (" + expected + ")");
      }
    }
  }

  // Allophone lists look names up by a search from index 0, so a name that
  // stands first at the wrong index is as bad as a missing one.
  int FirstIndexNamed(std::string_view name) const {
    for (const auto& [index, entry] : slots_) {
      if (entry->name == name) return index;
    }
    return -1;
  }

  void CheckNames() {
    for (std::string_view name : ClientNames()) {
      if (IndexNamedAtLoad(name)) continue;  // the pause entries, checked by index
      const int found = FirstIndexNamed(name);
      if (found < 0) {
        Error(-1, std::string(name), "missing; the client programs send this name");
        continue;
      }
      if (At(found)->samples.empty()) Error(found, std::string(name), "no samples");
      const auto it = std::find_if(StandardInventory().begin(), StandardInventory().end(),
                                   [&](const StandardEntry& s) { return s.name == name; });
      if (it != StandardInventory().end() && it->role != EntryRole::Signal && it->index != found) {
        Error(found, std::string(name),
              "the allophone lists mean " + std::string(it->description) + " (index " +
                  std::to_string(it->index) + ") by this name");
      }
    }
    // Names the engine gives at load must not be found earlier under another
    // index, or the lists would reach the wrong sound.
    for (const auto& [index, entry] : slots_) {
      const auto loadIndex = IndexNamedAtLoad(entry->name);
      if (loadIndex && *loadIndex != index && index < *loadIndex) {
        Error(index, entry->name,
              "hides entry " + std::to_string(*loadIndex) + ", which the engine names '" +
                  entry->name + "' at load");
      }
    }
  }

  void CheckVoicing() {
    for (int voiced = allo::kFirstVoiced; voiced <= allo::kLastVoiced; ++voiced) {
      const int voiceless = voiced + allo::kVoicingOffset;
      const AlfEntry* v = At(voiced);
      const AlfEntry* u = At(voiceless);
      if (v && ((v->classBits & (kObstruent | kVoiced)) != (kObstruent | kVoiced) ||
                (v->classBits & kVoiceless))) {
        Error(voiced, v->name, "class bits " + Hex(v->classBits) +
                                   ": a voiced obstruent needs 0x0010 and 0x1000, not 0x2000");
      }
      if (u && ((u->classBits & (kObstruent | kVoiceless)) != (kObstruent | kVoiceless) ||
                (u->classBits & kVoiced))) {
        Error(voiceless, u->name,
              "class bits " + Hex(u->classBits) +
                  ": a voiceless obstruent needs 0x0010 and 0x2000, not 0x1000 (partner of " +
                  std::to_string(voiced) + ")");
      }
    }
    for (const auto& [index, entry] : slots_) {
      if (index >= allo::kFirstVoiced && index <= allo::kLastVoiceless) continue;
      if (entry->classBits & kVoiced) {
        Error(index, entry->name,
              "marked voiced (0x1000) outside 49-62: a voiceless obstruent before it would "
              "be voiced, but it has no voiceless partner");
      }
      if ((entry->classBits & kVoiceless) && !(entry->classBits & kObstruent)) {
        Warn(index, entry->name, "marked voiceless (0x2000) without the obstruent bit 0x0010");
      }
    }
  }

  void CheckVowels() {
    for (const auto& [index, entry] : slots_) {
      const std::uint16_t bits = entry->classBits;
      if (IsVowelIndex(index)) {
        if (!(bits & kVowel)) {
          Error(index, entry->name, "a vowel needs the vowel bit 0x0004 (syllables and stress)");
        }
        if (IsNasalVowelIndex(index) && !(bits & kNasal)) {
          Error(index, entry->name, "a nasal vowel needs the nasal bit 0x8000");
        }
        if (!IsNasalVowelIndex(index) && (bits & kNasal)) {
          Error(index, entry->name,
                "an oral vowel marked nasal (0x8000): colloquial speech would add n or m after it");
        }
        if (bits & kObstruent) Error(index, entry->name, "a vowel marked as an obstruent (0x0010)");
      } else if (bits & kVowel) {
        Error(index, entry->name,
              "marked as a vowel (0x0004) outside 1-48: it would count as a syllable and take "
              "stress");
      }
    }
  }

  void CheckPausesAndSizes() {
    for (const auto& [index, entry] : slots_) {
      if (IsPauseIndex(index)) {
        if (!(entry->classBits & kPause)) {
          Error(index, entry->name, "a pause entry needs the pause bit 0x0002");
        }
        continue;
      }
      if (entry->classBits & kPause) {
        Warn(index, entry->name, "pause bit 0x0002 set: a chunk of speech ends after it");
      }
      // Pieces are joined by plain concatenation: one that starts or ends
      // away from the middle value clicks at every join.
      if (!entry->samples.empty()) {
        const int first = std::abs(entry->samples.front() - 128);
        const int last = std::abs(entry->samples.back() - 128);
        if (std::max(first, last) > kStepLimit) {
          Warn(index, entry->name,
               std::string(first > kStepLimit ? "starts" : "ends") + " " +
                   std::to_string(std::max(first, last)) +
                   " steps away from silence: it clicks at every join (fade it)");
        }
      }
      if (entry->samples.size() > kChunkLimit) {
        Error(index, entry->name, std::to_string(entry->samples.size()) +
                                      " bytes; one chunk of speech holds at most 262144");
      }
      if (index == allo::kNull) {
        Warn(index, entry->name, "the engine replaces entry 111 with silence at load");
      } else if (index >= allo::kNothing) {
        Warn(index, entry->name, "index above 111 is never played");
      }
    }
  }

  const AlfFile& file_;
  std::map<int, const AlfEntry*> slots_;
  std::vector<Finding> findings_;
};

}  // namespace

std::string Finding::ToString() const {
  std::string text = severity == Severity::Error ? "error: " : "warning: ";
  if (index >= 0) {
    text += "index " + std::to_string(index);
    if (!name.empty()) text += " (" + name + ")";
    text += ": ";
  } else if (!name.empty()) {
    text += "name '" + name + "': ";
  }
  return text + this->text;
}

std::vector<int> ProducedIndices() {
  std::vector<int> out;
  for (int form = 0; form < 3; ++form) {
    for (int base = 1; base <= 16; ++base) {
      if (base == 11 || base == 14) continue;  // no spelling gives i or y after soft i
      out.push_back(base + 16 * form);
    }
  }
  for (int i = allo::kFirstVoiced; i <= allo::kJ; ++i) out.push_back(i);
  for (int i = allo::kPauseDoubleLetter; i <= allo::kDefault; ++i) out.push_back(i);
  return out;
}

std::vector<Finding> CheckAlf(const AlfFile& file) { return Checker(file).Run(); }

bool Passes(const std::vector<Finding>& findings) {
  return std::none_of(findings.begin(), findings.end(),
                      [](const Finding& f) { return f.severity == Severity::Error; });
}

}  // namespace vokar::alf
