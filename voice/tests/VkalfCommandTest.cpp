// vkalf as a user runs it: a voice built from a manifest of recordings is
// listed, checked, taken apart and joined; mistakes give a message, a non-zero
// exit and never a half-written or damaged output file.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "AlfFile.h"
#include "Audio.h"
#include "Inventory.h"
#include "support/VoiceTestSupport.h"

namespace vokar::alf {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;
using testing::WriteText;

struct Outcome {
  int exitCode = -1;
  std::string output;  // standard output and error together
};

Outcome RunVkalf(const std::string& arguments) {
  Outcome run;
  const std::string command = std::string(VKALF_PATH) + " " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.output.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// A manifest of the whole standard inventory: every speech entry cut from
// one recording of a tone, the pauses as silence.
class Vkalf : public ::testing::Test {
 protected:
  void SetUp() override {
    Audio take;
    take.rate = 48000;
    take.samples.resize(48000);
    for (std::size_t i = 0; i < take.samples.size(); ++i) {
      take.samples[i] = static_cast<float>(0.4 * std::sin(2 * std::numbers::pi * 300 * i / 48000.0));
    }
    WriteBytes(folder / "take.wav", EncodeWav16(take));
    std::string text = "version \"test voice\"\n";
    double at = 0;
    for (const StandardEntry& s : StandardInventory()) {
      text += std::to_string(s.index) + " " + std::string(s.name) + " " + std::to_string(s.classBits);
      if (s.role == EntryRole::Pause) {
        text += " silence length=10\n";
      } else {
        text += " take.wav start=" + std::to_string(at) + " end=" + std::to_string(at + 60) + "\n";
        at += 7;
      }
    }
    WriteText(folder / "voice.txt", text);
    manifest = (folder / "voice.txt").string();
    alf = (folder / "voice.alf").string();
  }

  vokar::test::TestFolder scratch{"voice"};
  const std::filesystem::path folder = scratch.path();
  std::string manifest;
  std::string alf;
};

TEST_F(Vkalf, BuildListCheckExtractJoin) {
  Outcome build = RunVkalf("build " + manifest + " -o " + alf);
  ASSERT_EQ(build.exitCode, 0) << build.output;

  Outcome list = RunVkalf("list " + alf);
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_NE(list.output.find("version \"test voice\""), std::string::npos);
  EXPECT_NE(list.output.find("     23 aan      0x8004   1323"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("    109 p100     0x0002    221"), std::string::npos) << list.output;

  Outcome check = RunVkalf("check " + alf);
  EXPECT_EQ(check.exitCode, 0) << check.output;
  EXPECT_NE(check.output.find("0 error(s)"), std::string::npos) << check.output;

  const auto wav = folder / "aan.wav";
  ASSERT_EQ(RunVkalf("extract " + alf + " aan -o " + wav.string()).exitCode, 0);
  auto extracted = DecodeWav(ReadBytes(wav), "aan.wav");
  ASSERT_TRUE(extracted);
  EXPECT_EQ(extracted->rate, 22050);
  EXPECT_EQ(extracted->samples.size(), 1323u);
  ASSERT_EQ(RunVkalf("extract " + alf + " 23 -o " + (folder / "23.wav").string()).exitCode, 0);
  EXPECT_EQ(ReadBytes(folder / "23.wav"), ReadBytes(wav));

  const auto word = folder / "word.wav";
  ASSERT_EQ(RunVkalf("join " + alf + " \"(d-oo-m_)\" -o " + word.string()).exitCode, 0);
  auto joined = DecodeWav(ReadBytes(word), "word.wav");
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->samples.size(), 3u * 1323u);

  Outcome unknown = RunVkalf("extract " + alf + " nosuch -o " + (folder / "x.wav").string());
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_NE(unknown.output.find("nosuch"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder / "x.wav"));
}

TEST_F(Vkalf, CheckReportsFaultsByIndexAndName) {
  // The same voice with ą missing and s marked voiced.
  std::string text;
  const auto bytes = ReadBytes(manifest);
  text.assign(bytes.begin(), bytes.end());
  text.replace(text.find("\n23 aan"), 1, "\n#");
  const std::size_t s = text.find("\n71 s 8208");
  ASSERT_NE(s, std::string::npos);
  text.replace(s, 10, "\n71 s 4112");
  WriteText(folder / "broken.txt", text);
  ASSERT_EQ(RunVkalf("build " + (folder / "broken.txt").string() + " -o " + alf).exitCode, 0);
  Outcome check = RunVkalf("check " + alf);
  EXPECT_EQ(check.exitCode, 1);
  EXPECT_NE(check.output.find("error: index 23 (aan): missing"), std::string::npos) << check.output;
  EXPECT_NE(check.output.find("error: index 71 (s): class bits 0x1010"), std::string::npos) << check.output;
}

TEST_F(Vkalf, MistakesLeaveTheOldFileAlone) {
  ASSERT_EQ(RunVkalf("build " + manifest + " -o " + alf).exitCode, 0);
  const auto before = ReadBytes(alf);

  WriteText(folder / "bad.txt", "1 a 4 take.wav\n2 e 4 take.wav loudness=3\n");
  Outcome bad = RunVkalf("build " + (folder / "bad.txt").string() + " -o " + alf);
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.output.find("bad.txt line 2: unknown option 'loudness'"), std::string::npos) << bad.output;

  WriteText(folder / "nosource.txt", "1 a 4 missing.wav\n");
  Outcome missing = RunVkalf("build " + (folder / "nosource.txt").string() + " -o " + alf);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("missing.wav"), std::string::npos) << missing.output;

  EXPECT_EQ(ReadBytes(alf), before);
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
  }

  WriteText(folder / "junk.alf", "RIFF junk");
  Outcome junk = RunVkalf("check " + (folder / "junk.alf").string());
  EXPECT_EQ(junk.exitCode, 1);
  EXPECT_NE(junk.output.find("junk.alf"), std::string::npos);

  EXPECT_EQ(RunVkalf("").exitCode, 2);
  EXPECT_EQ(RunVkalf("build " + manifest).exitCode, 2);
  EXPECT_EQ(RunVkalf("frobnicate").exitCode, 2);
}

TEST_F(Vkalf, TemplateBuildsOnceTheRecordingsExist) {
  Outcome tmpl = RunVkalf("template");
  ASSERT_EQ(tmpl.exitCode, 0);
  WriteText(folder / "mine.txt", tmpl.output);
  std::filesystem::create_directories(folder / "rec");
  for (const StandardEntry& s : StandardInventory()) {
    std::filesystem::copy_file(folder / "take.wav", folder / "rec" / (std::string(s.name) + ".wav"));
  }
  const std::string mine = (folder / "mine.alf").string();
  Outcome build = RunVkalf("build " + (folder / "mine.txt").string() + " -o " + mine);
  ASSERT_EQ(build.exitCode, 0) << build.output;
  Outcome check = RunVkalf("check " + mine);
  EXPECT_EQ(check.exitCode, 0) << check.output;
}

}  // namespace
}  // namespace vokar::alf
