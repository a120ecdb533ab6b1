// The bus within one program, and what it does with bytes that arrive on a
// window's socket from outside.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "Desktop.h"
#include "Frame.h"
#include "TestSupport.h"

namespace {

using namespace vokar::desktop;
using vokar::testing::PrivateDesktop;
using vokar::testing::WaitFor;

std::unique_ptr<Window> MakeWindow(std::string_view title, MessageHandler handler = {},
                                   WindowKind kind = WindowKind::TopLevel) {
  auto created = Window::Create(title, std::move(handler), kind);
  EXPECT_TRUE(created.window) << created.error;
  return std::move(created.window);
}

// A raw client of a window's socket, speaking bytes of the test's choosing.
class RawClient {
 public:
  explicit RawClient(const std::filesystem::path& socketPath) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawClient() { ::close(fd_); }

  bool connected() const { return connected_; }
  void Write(const std::string& bytes) { ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

  // True once the other side has closed the connection; runs the test's own
  // loop meanwhile, since the window lives in this program.
  bool ClosedByPeer() {
    return WaitFor([&] {
      char byte;
      return ::recv(fd_, &byte, 1, MSG_DONTWAIT) == 0;
    });
  }

  // Reads one whole frame, pumping the loop until it is there.
  std::string ReadFrame() {
    std::string bytes;
    WaitFor([&] {
      char buffer[4096];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) bytes.append(buffer, static_cast<std::size_t>(n));
      return ParseFrame({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}).status ==
             ParseStatus::Complete;
    });
    return bytes;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

TEST(Bus, WindowIsFoundByExactTitleUntilItGoes) {
  PrivateDesktop desktop;
  auto window = MakeWindow("Vokar");
  auto other = MakeWindow("Vokar 2");
  EXPECT_EQ(FindWindow("Vokar"), window->handle());
  EXPECT_EQ(FindWindow("Vokar 2"), other->handle());
  EXPECT_FALSE(FindWindow("vokar"));
  EXPECT_FALSE(FindWindow("Voka"));
  EXPECT_EQ(window->handle().processId(), static_cast<std::uint32_t>(::getpid()));
  EXPECT_NE(window->handle(), other->handle());

  ASSERT_TRUE(window->SetTitle("Horalo"));
  EXPECT_EQ(window->title(), "Horalo");
  EXPECT_FALSE(FindWindow("Vokar"));
  EXPECT_EQ(FindWindow("Horalo"), window->handle());
  EXPECT_EQ(EnumerateWindows().size(), 2u);

  const WindowHandle handle = window->handle();
  window.reset();
  other.reset();
  EXPECT_FALSE(FindWindow("Horalo"));
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_TRUE(desktop.Files().empty());
}

TEST(Bus, MessageOnlyWindowsAreReachedByHandleButNeverListed) {
  PrivateDesktop desktop;
  int got = 0;
  auto hidden = MakeWindow("", [&](Message& m) { return got = static_cast<int>(m.lParam); }, WindowKind::MessageOnly);
  EXPECT_TRUE(EnumerateWindows().empty());
  EXPECT_FALSE(FindWindow(""));
  EXPECT_TRUE(IsWindow(hidden->handle()));
  EXPECT_EQ(SendMessage(hidden->handle(), WM_USER, 0, 42).result, 42);
  EXPECT_EQ(got, 42);
}

TEST(Bus, SendToOwnWindowIsDirectAndPostsWaitForTheLoopInOrder) {
  PrivateDesktop desktop;
  std::vector<std::int64_t> posted;
  auto window = MakeWindow("Own", [&](Message& m) -> std::int64_t {
    if (m.message == WM_USER + 1) {
      m.reply = "answer:" + m.payload;
      return 7;
    }
    posted.push_back(m.lParam);
    return 0;
  });
  const auto answer = SendMessage(window->handle(), WM_USER + 1, 0, 0, "q");
  ASSERT_TRUE(answer.ok());
  EXPECT_EQ(answer.result, 7);
  EXPECT_EQ(answer.reply, "answer:q");

  for (int i = 0; i < 50; ++i) ASSERT_TRUE(PostMessage(window->handle(), WM_USER + 2, 0, i));
  EXPECT_TRUE(posted.empty());
  ASSERT_TRUE(WaitFor([&] { return posted.size() == 50; }));
  for (int i = 0; i < 50; ++i) EXPECT_EQ(posted[i], i);
}

TEST(Bus, MessagesToMissingWindowsAndOversizedPayloadsFail) {
  PrivateDesktop desktop;
  const WindowHandle nobody{(std::uint64_t{77777} << 32) | 1};
  EXPECT_EQ(SendMessage(nobody, WM_USER, 0, 0).status, SendStatus::NoWindow);
  EXPECT_FALSE(PostMessage(nobody, WM_USER, 0, 0));
  EXPECT_EQ(SendMessage(WindowHandle{}, WM_USER, 0, 0).status, SendStatus::NoWindow);

  auto window = MakeWindow("Big");
  const std::string tooBig(kMaxPayload + 1, 'x');
  EXPECT_EQ(SendMessage(window->handle(), WM_USER, 0, 0, tooBig).status, SendStatus::Refused);
  EXPECT_FALSE(PostMessage(window->handle(), WM_USER, 0, 0, tooBig));
  EXPECT_FALSE(Window::Create(std::string(kMaxTitle + 1, 't'), {}).window);
}

TEST(Bus, AWindowMayDestroyItselfInsideItsHandler) {
  PrivateDesktop desktop;
  std::unique_ptr<Window> window;
  int calls = 0;
  window = MakeWindow("Closing", [&](Message& m) {
    ++calls;
    if (m.message == WM_CLOSE) window.reset();
    return 0;
  });
  const WindowHandle handle = window->handle();
  PostMessage(handle, WM_CLOSE, 0, 0);
  PostMessage(handle, WM_USER, 0, 0);  // arrives after the window is gone: dropped
  ASSERT_TRUE(WaitFor([&] { return window == nullptr; }));
  PumpMessages(milliseconds(0));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(IsWindow(handle));
}

TEST(Bus, RawFramesFromOutsideAreAnsweredOrRefused) {
  PrivateDesktop desktop;
  auto window = MakeWindow("Raw", [](Message& m) -> std::int64_t {
    m.reply = m.payload + "!";
    return m.lParam * 2;
  });
  const auto socketPath = EndpointPath(desktop.folder(), window->handle(), EndpointFile::Socket);

  // A well-formed send gets a reply frame with the same serial.
  {
    RawClient client(socketPath);
    ASSERT_TRUE(client.connected());
    FrameHeader header;
    header.type = FrameType::Send;
    header.serial = 99;
    header.window = window->handle().value;
    header.message = WM_USER + 5;
    header.lParam = 21;
    client.Write(EncodeFrame(header, "hi"));
    const std::string reply = client.ReadFrame();
    const auto parsed = ParseFrame({reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size()});
    ASSERT_EQ(parsed.status, ParseStatus::Complete);
    EXPECT_EQ(parsed.header.type, FrameType::Reply);
    EXPECT_EQ(parsed.header.serial, 99u);
    EXPECT_EQ(parsed.header.lParam, 42);
    EXPECT_EQ(reply.substr(kFrameHeaderSize), "hi!");
  }

  FrameHeader valid;
  valid.type = FrameType::Post;
  valid.window = window->handle().value;
  std::string oversized = EncodeFrame(valid, "");
  oversized[28] = oversized[29] = oversized[30] = oversized[31] = '\xFF';
  FrameHeader elsewhere = valid;
  elsewhere.window = window->handle().value + 1;
  FrameHeader reply = valid;
  reply.type = FrameType::Reply;
  reply.serial = 5;

  for (const std::string& bad : {std::string("GET / HTTP/1.0\r\n\r\n"), oversized, EncodeFrame(elsewhere, ""),
                                 EncodeFrame(reply, "")}) {
    ::testing::internal::CaptureStderr();
    RawClient client(socketPath);
    ASSERT_TRUE(client.connected());
    client.Write(bad);
    EXPECT_TRUE(client.ClosedByPeer());
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("refused a frame"), std::string::npos);
  }
  // The window still serves everyone else.
  EXPECT_EQ(SendMessage(window->handle(), WM_USER, 0, 4).result, 8);
}

TEST(Bus, WatchesReportAGoneWindowAndAReadableDescriptor) {
  PrivateDesktop desktop;
  auto window = MakeWindow("Watched");
  bool gone = false;
  WatchWindow(window->handle(), [&] { gone = true; });
  int cancelledCalls = 0;
  const int cancelled = WatchWindow(window->handle(), [&] { ++cancelledCalls; });
  CancelWatch(cancelled);
  window.reset();
  ASSERT_TRUE(WaitFor([&] { return gone; }));
  EXPECT_EQ(cancelledCalls, 0);

  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  int readable = 0;
  const int watch = WatchDescriptor(pipeFds[0], [&] {
    char byte;
    if (::read(pipeFds[0], &byte, 1) == 1) ++readable;
  });
  ASSERT_EQ(::write(pipeFds[1], "x", 1), 1);
  ASSERT_TRUE(WaitFor([&] { return readable == 1; }));
  CancelDescriptor(watch);
  ASSERT_EQ(::write(pipeFds[1], "y", 1), 1);
  PumpMessages(milliseconds(20));
  EXPECT_EQ(readable, 1);
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
}

}  // namespace
