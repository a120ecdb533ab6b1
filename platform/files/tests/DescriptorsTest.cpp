#include "Descriptors.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

namespace {

using vokar::files::ReadWhole;
using vokar::files::WriteWhole;

// Both ends of a pipe, closed at the end of the test whatever happens.
struct Pipe {
  Pipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0); }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  void CloseRead() {
    if (fds[0] >= 0) ::close(fds[0]);
    fds[0] = -1;
  }
  void CloseWrite() {
    if (fds[1] >= 0) ::close(fds[1]);
    fds[1] = -1;
  }
  int fds[2] = {-1, -1};
};

std::string Pattern(std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 23);
  return text;
}

TEST(Descriptors, MoreThanAPipeHoldsGoesThroughWholeInPieces) {
  // A pipe holds 64 KiB: a write of 1 MiB is taken in many short writes, and
  // the reader meets them as many short reads.
  const std::string sent = Pattern(1 << 20);
  Pipe pipe;
  std::string received(sent.size() + 10, '\0');
  ssize_t got = -2;
  std::thread reader([&] { got = ReadWhole(pipe.fds[0], received.data(), received.size()); });
  EXPECT_TRUE(WriteWhole(pipe.fds[1], sent));
  pipe.CloseWrite();
  reader.join();
  // The file ended 10 bytes before the buffer did.
  ASSERT_EQ(got, static_cast<ssize_t>(1 << 20));
  received.resize(static_cast<std::size_t>(got));
  EXPECT_EQ(received, sent);
}

TEST(Descriptors, ReadingStopsWhenTheBufferIsFull) {
  Pipe pipe;
  ASSERT_TRUE(WriteWhole(pipe.fds[1], "abcdefgh"));
  char buffer[5] = {};
  EXPECT_EQ(ReadWhole(pipe.fds[0], buffer, 5), 5);
  EXPECT_EQ(std::string(buffer, 5), "abcde");
  pipe.CloseWrite();
  EXPECT_EQ(ReadWhole(pipe.fds[0], buffer, 5), 3);
  EXPECT_EQ(std::string(buffer, 3), "fgh");
  EXPECT_EQ(ReadWhole(pipe.fds[0], buffer, 5), 0);
}

TEST(Descriptors, ARefusedTransferSaysWhy) {
  Pipe pipe;
  pipe.CloseRead();
  struct sigaction ignore {}, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);
  errno = 0;
  EXPECT_FALSE(WriteWhole(pipe.fds[1], "nobody reads"));
  EXPECT_EQ(errno, EPIPE);
  ::sigaction(SIGPIPE, &previous, nullptr);

  char buffer[4];
  errno = 0;
  EXPECT_EQ(ReadWhole(pipe.fds[1], buffer, sizeof buffer), -1);  // the write end cannot be read
  EXPECT_EQ(errno, EBADF);
  // Nothing to write is done at once, even on a descriptor that takes nothing.
  EXPECT_TRUE(WriteWhole(-1, ""));
}

}  // namespace
