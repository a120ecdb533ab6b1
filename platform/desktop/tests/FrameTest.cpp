#include "Frame.h"

#include <gtest/gtest.h>

namespace {

using namespace vokar::desktop;

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

FrameHeader SendHeader() {
  FrameHeader header;
  header.type = FrameType::Send;
  header.serial = 0x1122334455667788;
  header.window = 0x0000123400000001;
  header.message = WM_USER + 1;
  header.wParam = 0xFFFFFFFFFFFFFFFF;
  header.lParam = -2;
  return header;
}

TEST(Frame, RoundTripKeepsEveryFieldAndThePayload) {
  const std::string payload("text\0with\0nul", 13);
  const std::string bytes = EncodeFrame(SendHeader(), payload);
  ASSERT_EQ(bytes.size(), kFrameHeaderSize + payload.size());
  EXPECT_EQ(bytes.substr(0, 4), "VKDB");

  const auto parsed = ParseFrame(Bytes(bytes));
  ASSERT_EQ(parsed.status, ParseStatus::Complete);
  EXPECT_EQ(parsed.frameSize, bytes.size());
  EXPECT_EQ(parsed.header.type, FrameType::Send);
  EXPECT_EQ(parsed.header.serial, 0x1122334455667788u);
  EXPECT_EQ(parsed.header.window, 0x0000123400000001u);
  EXPECT_EQ(parsed.header.message, WM_USER + 1);
  EXPECT_EQ(parsed.header.wParam, 0xFFFFFFFFFFFFFFFFu);
  EXPECT_EQ(parsed.header.lParam, -2);
  EXPECT_EQ(parsed.header.payloadLength, payload.size());
  EXPECT_EQ(bytes.substr(kFrameHeaderSize), payload);
}

TEST(Frame, PartialFramesAskForMore) {
  const std::string bytes = EncodeFrame(SendHeader(), "payload");
  for (std::size_t cut : {std::size_t{0}, std::size_t{3}, kFrameHeaderSize - 1, kFrameHeaderSize, bytes.size() - 1}) {
    EXPECT_EQ(ParseFrame(Bytes(bytes.substr(0, cut))).status, ParseStatus::NeedMore) << cut;
  }
}

TEST(Frame, GarbageIsRefusedWithTheOffendingField) {
  std::string bytes = EncodeFrame(SendHeader(), "");

  std::string badMagic = bytes;
  badMagic[1] = 'X';
  // Refused as soon as the magic is there, without waiting for a header.
  auto parsed = ParseFrame(Bytes(badMagic.substr(0, 4)));
  EXPECT_EQ(parsed.status, ParseStatus::Invalid);
  EXPECT_EQ(parsed.errorOffset, 0u);

  std::string badVersion = bytes;
  badVersion[4] = 9;
  parsed = ParseFrame(Bytes(badVersion));
  EXPECT_EQ(parsed.status, ParseStatus::Invalid);
  EXPECT_EQ(parsed.errorOffset, 4u);

  std::string badType = bytes;
  badType[6] = 7;
  EXPECT_EQ(ParseFrame(Bytes(badType)).errorOffset, 6u);

  FrameHeader noWindow = SendHeader();
  noWindow.window = 0;
  EXPECT_EQ(ParseFrame(Bytes(EncodeFrame(noWindow, ""))).status, ParseStatus::Invalid);

  FrameHeader postWithSerial = SendHeader();
  postWithSerial.type = FrameType::Post;
  EXPECT_EQ(ParseFrame(Bytes(EncodeFrame(postWithSerial, ""))).status, ParseStatus::Invalid);

  FrameHeader sendWithoutSerial = SendHeader();
  sendWithoutSerial.serial = 0;
  EXPECT_EQ(ParseFrame(Bytes(EncodeFrame(sendWithoutSerial, ""))).status, ParseStatus::Invalid);
}

TEST(Frame, OversizedLengthIsRefusedBeforeThePayloadArrives) {
  std::string bytes = EncodeFrame(SendHeader(), "");
  const std::uint32_t tooLong = kMaxPayload + 1;
  for (int i = 0; i < 4; ++i) bytes[28 + i] = static_cast<char>((tooLong >> (8 * i)) & 0xFF);
  const auto parsed = ParseFrame(Bytes(bytes));
  EXPECT_EQ(parsed.status, ParseStatus::Invalid);
  EXPECT_EQ(parsed.errorOffset, 28u);

  const std::uint32_t largest = kMaxPayload;
  for (int i = 0; i < 4; ++i) bytes[28 + i] = static_cast<char>((largest >> (8 * i)) & 0xFF);
  EXPECT_EQ(ParseFrame(Bytes(bytes)).status, ParseStatus::NeedMore);
}

}  // namespace
