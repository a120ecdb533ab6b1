// The checks of an allophone file: a complete standard file passes, and each
// kind of damage the engine or the client programs would suffer from is
// reported as an error that names the entry.
#include <gtest/gtest.h>

#include <algorithm>

#include "AlfCheck.h"
#include "AllophoneIndex.h"
#include "support/VoiceTestSupport.h"

namespace vokar::alf {
namespace {

using testing::EntryAt;
using testing::StandardFile;

std::vector<Finding> Errors(const AlfFile& file) {
  auto findings = CheckAlf(file);
  findings.erase(std::remove_if(findings.begin(), findings.end(),
                                [](const Finding& f) { return f.severity != Severity::Error; }),
                 findings.end());
  return findings;
}

// True when some error is about the index and mentions the text.
bool HasError(const AlfFile& file, int index, const std::string& text) {
  const auto errors = Errors(file);
  return std::any_of(errors.begin(), errors.end(), [&](const Finding& f) {
    return f.index == index && f.ToString().find(text) != std::string::npos;
  });
}

void Remove(AlfFile& file, int index) {
  std::erase_if(file.entries, [index](const AlfEntry& e) { return e.index == index; });
}

TEST(Check, StandardFilePasses) {
  const auto findings = CheckAlf(StandardFile());
  for (const Finding& f : findings) ADD_FAILURE() << f.ToString();
  EXPECT_TRUE(Passes(findings));
}

TEST(Check, ProducedIndicesCoverEveryRuleOutput) {
  const auto produced = ProducedIndices();
  for (int index : {1, 16, 19, 32, 33, 48, 49, 62, 76, 97, 106, 109, 110}) {
    EXPECT_NE(std::find(produced.begin(), produced.end(), index), produced.end()) << index;
  }
  for (int index : {0, 11, 14, 27, 30, 43, 46, 98, 105, 111}) {
    EXPECT_EQ(std::find(produced.begin(), produced.end(), index), produced.end()) << index;
  }
}

TEST(Check, MissingOrEmptyEntriesAreNamed) {
  AlfFile file = StandardFile();
  Remove(file, 23);
  EntryAt(file, 85)->samples.clear();
  EXPECT_TRUE(HasError(file, 23, "missing"));
  EXPECT_TRUE(HasError(file, 23, "aan"));
  EXPECT_TRUE(HasError(file, 85, "no samples"));
  // A pause may be empty: the engine fills it at load.
  AlfFile pauses = StandardFile();
  EntryAt(pauses, 107)->samples.clear();
  EXPECT_TRUE(Passes(CheckAlf(pauses)));
  Remove(pauses, 107);
  EXPECT_TRUE(HasError(pauses, 107, "missing"));
}

TEST(Check, ClientNamesMustBeThereAndMeanTheirSound) {
  AlfFile file = StandardFile();
  EntryAt(file, 98)->name = "blank";  // "space" is gone
  const auto errors = Errors(file);
  EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [](const Finding& f) {
    return f.name == "space" && f.text.find("missing") != std::string::npos;
  }));

  AlfFile swapped = StandardFile();
  EntryAt(swapped, 1)->name = "x1";
  EntryAt(swapped, 9)->name = "a";  // "a" now reaches the soft a
  EXPECT_TRUE(HasError(swapped, 9, "index 1"));

  // Indices from 112 up are never played, so a sound kept there is lost.
  AlfFile moved = StandardFile();
  EntryAt(moved, 98)->index = 120;
  const auto findings = CheckAlf(moved);
  EXPECT_TRUE(std::any_of(findings.begin(), findings.end(), [](const Finding& f) {
    return f.index == 120 && f.text.find("never played") != std::string::npos;
  }));
}

TEST(Check, NamesGivenAtLoadMustNotBeHidden) {
  AlfFile file = StandardFile();
  EntryAt(file, 50)->name = "ch";
  EXPECT_TRUE(HasError(file, 50, "87"));
  AlfFile pause = StandardFile();
  EntryAt(pause, 97)->name = "p010";
  EXPECT_TRUE(HasError(pause, 97, "107"));
}

TEST(Check, VoicingPairsNeedTheirBits) {
  AlfFile file = StandardFile();
  EntryAt(file, 53)->classBits = classbits::kObstruent;                          // g without voiced
  EntryAt(file, 71)->classBits = classbits::kObstruent | classbits::kVoiced;     // s marked voiced
  EntryAt(file, 94)->classBits = classbits::kVoiced | classbits::kObstruent;     // r marked voiced
  EXPECT_TRUE(HasError(file, 53, "voiced obstruent"));
  EXPECT_TRUE(HasError(file, 71, "partner of 57"));
  EXPECT_TRUE(HasError(file, 94, "0x1000"));
}

TEST(Check, VowelsAndNasalVowelsMarked) {
  AlfFile file = StandardFile();
  EntryAt(file, 17)->classBits = 0;                                        // aa not a vowel
  EntryAt(file, 40)->classBits = classbits::kVowel;                         // en_ not nasal
  EntryAt(file, 4)->classBits = classbits::kVowel | classbits::kNasal;      // o nasal
  EntryAt(file, 79)->classBits = classbits::kVowel;                         // n a vowel
  EXPECT_TRUE(HasError(file, 17, "0x0004"));
  EXPECT_TRUE(HasError(file, 40, "0x8000"));
  EXPECT_TRUE(HasError(file, 4, "oral vowel"));
  EXPECT_TRUE(HasError(file, 79, "syllable"));
}

TEST(Check, FormatPausesAndSizes) {
  AlfFile file = StandardFile();
  file.format.bitsPerSample = 16;
  file.format.blockAlign = 2;
  file.format.avgBytesPerSec = 44100;
  EntryAt(file, 108)->classBits = 0;
  EntryAt(file, 5)->samples.assign(262145, 128);
  EXPECT_TRUE(HasError(file, -1, "16-bit"));
  EXPECT_TRUE(HasError(file, 108, "pause bit"));
  EXPECT_TRUE(HasError(file, 5, "262144"));
}

// One chunk of speech holds 262144 bytes: an entry of exactly that size is
// fine, one byte more can never be played whole.
TEST(Check, AnEntryMayFillAWholeChunkButNotOneByteMore) {
  const std::pair<std::size_t, bool> cases[] = {{262143, false}, {262144, false}, {262145, true}};
  for (const auto& [size, refused] : cases) {
    SCOPED_TRACE(size);
    AlfFile file = StandardFile();
    EntryAt(file, 5)->samples.assign(size, 128);
    EXPECT_EQ(Errors(file).empty(), !refused);
    EXPECT_EQ(HasError(file, 5, "262144"), refused);
  }
}

TEST(Check, StepsAtTheEdgesAreWarnedAbout) {
  AlfFile file = StandardFile();
  EntryAt(file, 2)->samples.back() = 200;
  const auto findings = CheckAlf(file);
  EXPECT_TRUE(Passes(findings));
  EXPECT_TRUE(std::any_of(findings.begin(), findings.end(), [](const Finding& f) {
    return f.severity == Severity::Warning && f.index == 2 && f.text.find("clicks") != std::string::npos;
  }));
}

TEST(Check, FindingsReadWell) {
  EXPECT_EQ((Finding{Severity::Error, 23, "aan", "missing"}).ToString(), "error: index 23 (aan): missing");
  EXPECT_EQ((Finding{Severity::Warning, -1, "space", "missing"}).ToString(), "warning: name 'space': missing");
}

}  // namespace
}  // namespace vokar::alf
