// The level ramps that bring a sonorant's ends to the vowels' level: the
// recipe options and their limits, the correction and the ramp itself, with
// gains worked out by hand (10^(w*dB/20) for the half-cosine weight w).
#include <gtest/gtest.h>

#include <vector>

#include "EdgeLevel.h"
#include "Recipe.h"

namespace vokar::voicegen {
namespace {

TEST(EdgeLevel, CorrectionIsHeldWithinItsLimit) {
  const struct {
    double level, target, limit, expected;
  } cases[] = {
      {-20.0, -15.0, 12.0, 5.0},     // raised to the target
      {-10.0, -15.0, 12.0, -5.0},    // lowered to it
      {-27.0, -15.0, 12.0, 12.0},    // exactly the limit
      {-27.1, -15.0, 12.0, 12.0},    // beyond it: held there
      {-2.9, -15.0, 12.0, -12.0},
      {-100.0, -15.0, 12.0, 0.0},    // silence cannot be brought anywhere
      {-99.9, -15.0, 200.0, 84.9},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(EdgeCorrectionDb(c.level, c.target, c.limit), c.expected, 1e-9) << c.level;
  }
}

TEST(EdgeLevel, RampIsFullOnTheEdgeSampleAndGoneWhereItEnds) {
  std::vector<float> piece(10, 1.0f);
  RampEdges(piece, 20.0, -20.0, 4);
  // Weights 1, 0.8536, 0.5, 0.1464 over the four samples of each ramp.
  const double expected[] = {10.0, 7.13762, 3.16228, 1.40103, 1.0, 1.0, 0.71376, 0.31623, 0.14010, 0.1};
  for (std::size_t i = 0; i < piece.size(); ++i) EXPECT_NEAR(piece[i], expected[i], 1e-4) << i;
}

TEST(EdgeLevel, RampsOfAShortPieceStopHalfWay) {
  // A ramp of 10 on 6 samples is cut to 3: weights 1, 0.75, 0.25 from each
  // end, and the two halves never touch the same sample.
  std::vector<float> piece(6, 1.0f);
  RampEdges(piece, 20.0, 20.0, 10);
  const double expected[] = {10.0, 5.62341, 1.77828, 1.77828, 5.62341, 10.0};
  for (std::size_t i = 0; i < piece.size(); ++i) EXPECT_NEAR(piece[i], expected[i], 1e-4) << i;
  std::vector<float> none(4, 0.5f);
  RampEdges(none, 0.0, 0.0, 2);
  EXPECT_EQ(none, std::vector<float>(4, 0.5f));
  std::vector<float> empty;
  RampEdges(empty, 6.0, 6.0, 5);
  EXPECT_TRUE(empty.empty());
}

TEST(EdgeLevel, RecipeOptionsAndTheirLimits) {
  auto r = ParseRecipe("prosody p\n"
                       "77 speech p \"'ama\" m edge=-5\n"
                       "83 speech p \"t'am\" m edgein=-3 ramp=15\n"
                       "1 speech p \"'a\" a\n",
                       "r.recipe");
  ASSERT_TRUE(r) << r.Error().ToString();
  ASSERT_EQ(r->entries.size(), 3u);
  EXPECT_EQ(r->entries[0].edgeInDb, -5.0);
  EXPECT_EQ(r->entries[0].edgeOutDb, -5.0);
  EXPECT_EQ(r->entries[0].rampMs, 20.0);
  EXPECT_EQ(r->entries[1].edgeInDb, -3.0);
  EXPECT_FALSE(r->entries[1].edgeOutDb);
  EXPECT_EQ(r->entries[1].rampMs, 15.0);
  EXPECT_FALSE(r->entries[2].edgeInDb);
  EXPECT_FALSE(r->entries[2].edgeOutDb);

  const struct {
    const char* option;
    bool accepted;
  } limits[] = {
      {"edge=-40", true},   {"edge=-40.1", false}, {"edge=10", true},      {"edge=10.1", false},
      {"edgeout=-40", true}, {"edgeout=10.5", false}, {"edgein=0", true}, {"edgein=-41", false},
      {"ramp=1", true},     {"ramp=0.9", false},   {"ramp=100", true},     {"ramp=100.1", false},
      {"edge=x", false},    {"ramp=", false},
  };
  for (const auto& c : limits) {
    const std::string text = std::string("prosody p\n77 speech p \"'ama\" m ") + c.option + "\n";
    auto parsed = ParseRecipe(text, "r.recipe");
    EXPECT_EQ(static_cast<bool>(parsed), c.accepted) << c.option;
    if (!parsed) {
      EXPECT_EQ(parsed.Error().position, 2u) << c.option;
    }
  }
}

}  // namespace
}  // namespace vokar::voicegen
