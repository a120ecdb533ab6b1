// The frames of the share on the wire: every frame survives the trip, the
// reader cuts a stream at the right places whatever pieces it comes in, and
// the limits hold on both sides: a body of 65536 bytes is read, 65537 is
// refused before any of it is kept.
#include <gtest/gtest.h>

#include <string>

#include "Wire.h"

namespace {

using namespace vokar::netdde;

std::string Body(const Frame& frame) {
  const auto bytes = Encode(frame);
  EXPECT_TRUE(bytes.has_value());
  return bytes ? bytes->substr(kLengthBytes) : std::string();
}

// A length prefix as the wire carries it: big-endian, four bytes.
std::string Prefix(std::uint32_t length) {
  return {static_cast<char>(length >> 24), static_cast<char>((length >> 16) & 0xFF),
          static_cast<char>((length >> 8) & 0xFF), static_cast<char>(length & 0xFF)};
}

Nonce Counting(std::uint8_t from) {
  Nonce nonce{};
  for (std::size_t i = 0; i < nonce.size(); ++i) nonce[i] = static_cast<std::uint8_t>(from + i);
  return nonce;
}

TEST(Wire, EveryFrameComesBackAsItWent) {
  Hello hello;
  hello.keyRequired = true;
  hello.nonce = Counting(7);
  Auth auth;
  auth.nonce = Counting(1);
  auth.proof = Counting(100);
  Welcome welcome;
  welcome.proof = Counting(200);
  const Frame frames[] = {
      hello,
      auth,
      welcome,
      Refused{RefusedReason::WrongKey, "wrong key"},
      Initiate{"ALA\\NDDE$\\", "VOKAR$"},
      InitiateAck{true, "ALA\\NDDE$\\", "VOKAR$"},
      InitiateAck{false, "", ""},
      Poke{0xDEADBEEF, 1, "text", std::string("Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1\0", 18)},
      Execute{42, std::string("read\0", 5)},
      Ack{0x01020304, 0x8002},
      Terminate{},
  };
  for (const Frame& frame : frames) {
    const std::string body = Body(frame);
    const DecodedFrame decoded = Decode(body);
    ASSERT_TRUE(decoded) << FrameName(TypeOf(frame)) << ": " << decoded.error;
    EXPECT_EQ(TypeOf(*decoded.frame), TypeOf(frame));
    EXPECT_EQ(Body(*decoded.frame), body) << FrameName(TypeOf(frame));
  }
}

TEST(Wire, FieldsSitWhereThePeerExpectsThem) {
  // ACK: type 0x14, the handle and the status word, both big-endian.
  EXPECT_EQ(*Encode(Ack{0x01020304, 0x8002}), Prefix(7) + std::string("\x14\x01\x02\x03\x04\x80\x02", 7));
  // EXECUTE: type 0x13, the handle, then the command as it is.
  EXPECT_EQ(*Encode(Execute{5, std::string("break\0", 6)}), Prefix(11) + std::string("\x13\0\0\0\x05" "break\0", 11));
  // INITIATE: two names, each after its length byte.
  EXPECT_EQ(*Encode(Initiate{"A\\NDDE$\\", "VOKAR$"}),
            Prefix(17) + std::string("\x10\x08" "A\\NDDE$\\" "\x06" "VOKAR$", 17));
  // HELLO: the magic, the version, the key flag and the nonce.
  Hello hello;
  hello.keyRequired = true;
  EXPECT_EQ(*Encode(hello), Prefix(41) + "\x01VKNDDE\x01\x01" + std::string(32, '\0'));
}

TEST(Wire, LimitsOfNamesAndBodies) {
  // A name of 255 bytes is carried, 256 is not.
  EXPECT_TRUE(Encode(Initiate{std::string(255, 'a'), "VOKAR$"}).has_value());
  EXPECT_FALSE(Encode(Initiate{std::string(256, 'a'), "VOKAR$"}).has_value());
  // A poke of item "text" has 1 + 4 + 2 + 1 + 4 = 12 bytes besides its data.
  EXPECT_EQ(MaxPokeData(4), 65536u - 12u);
  const auto largest = Encode(Poke{1, 1, "text", std::string(65524, 'x')});
  ASSERT_TRUE(largest.has_value());
  EXPECT_EQ(largest->size(), 4u + 65536u);
  EXPECT_FALSE(Encode(Poke{1, 1, "text", std::string(65525, 'x')}).has_value());
  // The server's whole buffer, 65276 bytes and a NUL, fits.
  EXPECT_TRUE(Encode(Poke{1, 1, "text", std::string(65277, 'x')}).has_value());
}

TEST(Wire, ReaderTakesABodyOfTheLimitAndRefusesOneByteMore) {
  FrameReader reader;
  std::string body;
  reader.Feed(Prefix(65536));
  reader.Feed(std::string(65536, 'x'));
  EXPECT_EQ(reader.Next(body), FrameReader::Status::Frame);
  EXPECT_EQ(body.size(), 65536u);

  FrameReader over;
  over.Feed(Prefix(65537));
  EXPECT_EQ(over.Next(body), FrameReader::Status::Error);
  EXPECT_EQ(over.error(), "a frame of 65537 bytes, above the limit of 65536");
  // Nothing more is taken or given after a refusal.
  over.Feed(std::string(100, 'x'));
  EXPECT_EQ(over.Buffered(), 0u);
  EXPECT_EQ(over.Next(body), FrameReader::Status::Error);

  FrameReader empty;
  empty.Feed(Prefix(0));
  EXPECT_EQ(empty.Next(body), FrameReader::Status::Error);

  FrameReader huge;
  huge.Feed("\xFF\xFF\xFF\xFF");
  EXPECT_EQ(huge.Next(body), FrameReader::Status::Error);
}

TEST(Wire, ReaderCutsAStreamFedByteByByte) {
  std::string stream = *Encode(Execute{1, "status"}) + *Encode(Terminate{}) + *Encode(Ack{9, 0x4000});
  FrameReader reader;
  std::vector<std::string> bodies;
  std::string body;
  for (const char c : stream) {
    reader.Feed(std::string(1, c));
    EXPECT_EQ(reader.InFrame(), reader.Buffered() > 0);
    while (reader.Next(body) == FrameReader::Status::Frame) bodies.push_back(body);
  }
  ASSERT_EQ(bodies.size(), 3u);
  EXPECT_EQ(bodies[0], std::string("\x13\0\0\0\x01status", 11));
  EXPECT_EQ(bodies[1], "\x15");
  EXPECT_EQ(bodies[2], std::string("\x14\0\0\0\x09\x40\0", 7));
  EXPECT_FALSE(reader.InFrame());
}

TEST(Wire, MalformedBodiesAreRefusedWithTheirPlace) {
  struct Case {
    std::string body;
    std::string error;
    std::size_t offset;
  };
  const Case cases[] = {
      {"", "an empty frame", 0},
      {"\x7F", "an unknown frame type 127", 0},
      {"\x15x", "bytes left over after the last field", 1},
      {std::string("\x14\0\0\0\x01\x80", 6), "the frame ends inside a field", 5},
      {std::string("\x14\0\0\0\x01\x80\0\0", 8), "bytes left over after the last field", 7},
      {"\x10\x05" "AB", "a name runs past the end of the frame", 2},
      {std::string("\x11\x02\0\0", 4), "the answer is neither yes nor no", 2},
      {"\x01XKNDDE\x01\x00" + std::string(32, '\0'), "not a share's greeting", 7},
      {"\x01VKNDDE\x01\x02" + std::string(32, '\0'), "unknown flags", 9},
      {"\x01VKNDDE\x01\x01" + std::string(31, '\0'), "the frame ends inside a field", 9},
      {"\x03" + std::string(33, '\0'), "bytes left over after the last field", 33},
      {std::string("\x12\0\0\0\x01\0\x01\x05tex", 11), "a name runs past the end of the frame", 8},
  };
  for (const Case& c : cases) {
    const DecodedFrame decoded = Decode(c.body);
    EXPECT_FALSE(decoded) << c.error;
    EXPECT_EQ(decoded.error, c.error);
    EXPECT_EQ(decoded.offset, c.offset) << c.error;
  }
}

}  // namespace
