// remarka's command line: the embedding switch in its spellings, the file,
// and the registration commands.
#include <gtest/gtest.h>

#include "CommandLine.h"

namespace vokar::comment {
namespace {

TEST(CommandLine, SwitchesAndFile) {
  using Action = CommandLine::Action;
  const struct {
    std::vector<std::string> arguments;
    Action action;
    bool embedding;
    std::string file;
    std::size_t ignored;
  } cases[] = {
      {{}, Action::Run, false, "", 0},
      {{"uwaga.ann"}, Action::Run, false, "uwaga.ann", 0},
      {{"-Embedding", "uwaga.ann"}, Action::Run, true, "uwaga.ann", 0},
      {{"uwaga.ann", "/Embedding"}, Action::Run, true, "uwaga.ann", 0},
      {{"/EMBEDDING"}, Action::Run, true, "", 0},
      {{"-embedding"}, Action::Run, true, "", 0},
      {{"--Embedding"}, Action::Run, false, "--Embedding", 0},
      {{"-Embeddings"}, Action::Run, false, "-Embeddings", 0},
      {{"a.ann", "b.ann"}, Action::Run, false, "a.ann", 1},
      {{"--", "-Embedding"}, Action::Run, false, "-Embedding", 0},
      {{"--register"}, Action::Register, false, "", 0},
      {{"--unregister"}, Action::Unregister, false, "", 0},
      {{"--write-icons", "/tmp/icons"}, Action::WriteIcons, false, "/tmp/icons", 0},
      {{"--help"}, Action::Help, false, "", 0},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    std::string shown;
    for (const auto& argument : c.arguments) shown += argument + " ";
    SCOPED_TRACE(shown);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.embedding, c.embedding);
    EXPECT_EQ(line.file, c.file);
    EXPECT_EQ(line.ignored.size(), c.ignored);
  }
}

}  // namespace
}  // namespace vokar::comment
