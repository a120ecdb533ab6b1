// The key's challenge and response: HMAC-SHA-256 of the role and both
// nonces, checked against values computed apart (Python's hmac module).
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "Auth.h"

namespace {

using namespace vokar::netdde;

Nonce Counting(std::uint8_t from) {
  Nonce nonce{};
  for (std::size_t i = 0; i < nonce.size(); ++i) nonce[i] = static_cast<std::uint8_t>(from + i);
  return nonce;
}

std::string Hex(const Proof& proof) {
  static const char* digits = "0123456789abcdef";
  std::string text;
  for (const auto byte : proof) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

TEST(Auth, ProofsAreTheHmacOfRoleAndNonces) {
  ASSERT_TRUE(InitCrypto());
  const Nonce agent = Counting(0), peer = Counting(32);
  EXPECT_EQ(Hex(PeerProof("klucz wspolny", agent, peer)),
            "71fccf96896362e64af10166115bc7b0b777afb5df8c1a03237b72f20f29826d");
  EXPECT_EQ(Hex(AgentProof("klucz wspolny", agent, peer)),
            "340883a156fafe8b909ea67c5664b23ad7cf14339bdc01d6dae9be7be50f3b82");
  // A key longer than the hash's block is hashed first, as HMAC does.
  EXPECT_EQ(Hex(PeerProof(std::string(100, 'x'), agent, peer)),
            "3334a37e095e4b4f6b80ee049f9b4b35bedfae8c8b2616cbc360c974f9a966b5");
}

TEST(Auth, AProofHoldsForOneKeyOneRoleAndOneConnection) {
  ASSERT_TRUE(InitCrypto());
  const Nonce agent = RandomNonce(), peer = RandomNonce();
  EXPECT_NE(agent, peer);
  const Proof proof = PeerProof("k", agent, peer);
  EXPECT_TRUE(ProofsEqual(proof, PeerProof("k", agent, peer)));
  EXPECT_FALSE(ProofsEqual(proof, PeerProof("K", agent, peer)));
  EXPECT_FALSE(ProofsEqual(proof, AgentProof("k", agent, peer)));
  EXPECT_FALSE(ProofsEqual(proof, PeerProof("k", RandomNonce(), peer)));
  EXPECT_FALSE(ProofsEqual(proof, PeerProof("k", agent, RandomNonce())));
}

TEST(Auth, NewKeysAreSixtyFourHexDigitsAndNeverRepeat) {
  ASSERT_TRUE(InitCrypto());
  std::set<std::string> keys;
  for (int i = 0; i < 50; ++i) {
    const std::string key = NewKeyText();
    EXPECT_EQ(key.size(), 64u);
    EXPECT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos);
    keys.insert(key);
  }
  EXPECT_EQ(keys.size(), 50u);
}

TEST(Auth, AKeyFromStandardInputIsItsFirstLineWithoutBlanks) {
  const std::pair<const char*, const char*> cases[] = {
      {"abc\n", "abc"},           {"  abc \t\r\nrest\n", "abc"}, {"a b\n", "a b"},
      {"abc", "abc"},             {"", ""},                      {"\n", ""},
      {" \t\r\nabc\n", ""},       {"\r\n", ""},
  };
  for (const auto& [input, expected] : cases) {
    std::istringstream in(input);
    EXPECT_EQ(ReadKeyLine(in), expected) << "'" << input << "'";
  }
}

}  // namespace
