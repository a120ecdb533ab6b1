// A desktop folder, or a window in ours, that belongs to another user: a
// process of that user (uid 65534) makes a window "Vokar" by hand, counts
// every byte it is sent and answers every request with 666. Nothing of ours
// may reach it or believe it. Needs root to act as the other user.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "Desktop.h"
#include "Frame.h"
#include "TestSupport.h"

namespace {

using namespace vokar::desktop;
using vokar::testing::PrivateDesktop;

constexpr uid_t kOtherUser = 65534;

// The other user's process: forked, it drops to uid 65534, makes its window
// in the folder and serves it until the test closes its pipe; then it reports
// how many bytes it was sent.
class ForeignWindow {
 public:
  ForeignWindow(const std::filesystem::path& folder, const std::string& title) {
    int down[2], up[2];
    if (::pipe(down) != 0 || ::pipe(up) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(down[1]);
      ::close(up[0]);
      Serve(folder, title, down[0], up[1]);
    }
    ::close(down[0]);
    ::close(up[1]);
    toChild_ = down[1];
    fromChild_ = up[0];
    std::uint64_t handle = 0;
    if (::read(fromChild_, &handle, sizeof handle) == sizeof handle) handle_ = WindowHandle{handle};
  }
  ~ForeignWindow() { Stop(); }

  WindowHandle handle() const { return handle_; }

  // Ends the process; the number of bytes it was sent.
  long Stop() {
    if (pid_ <= 0) return received_;
    ::close(toChild_);
    long count = -1;
    if (::read(fromChild_, &count, sizeof count) == sizeof count) received_ = count;
    ::close(fromChild_);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return received_;
  }

 private:
  [[noreturn]] static void Serve(const std::filesystem::path& folder, const std::string& title, int stop, int report) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kOtherUser, kOtherUser, kOtherUser) != 0 ||
        ::setresuid(kOtherUser, kOtherUser, kOtherUser) != 0) {
      ::_exit(3);
    }
    const WindowHandle handle{(std::uint64_t{static_cast<std::uint32_t>(::getpid())} << 32) | 1};
    const int lock = ::open(EndpointPath(folder, handle, EndpointFile::Lock).c_str(), O_RDWR | O_CREAT, 0600);
    if (lock >= 0) ::flock(lock, LOCK_EX);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, EndpointPath(folder, handle, EndpointFile::Socket).c_str(),
                 sizeof address.sun_path - 1);
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 16);
    ::chmod(address.sun_path, 0777);
    WriteTitleFile(folder, handle, title);
    ::write(report, &handle.value, sizeof handle.value);

    long received = 0;
    std::vector<pollfd> fds{{stop, POLLIN, 0}, {listener, POLLIN, 0}};
    std::vector<std::string> inboxes(2);
    for (;;) {
      ::poll(fds.data(), fds.size(), -1);
      if (fds[0].revents != 0) break;
      if (fds[1].revents != 0) {
        fds.push_back({::accept(listener, nullptr, nullptr), POLLIN, 0});
        inboxes.emplace_back();
      }
      for (std::size_t i = 2; i < fds.size(); ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char bytes[4096];
        const ssize_t n = ::read(fds[i].fd, bytes, sizeof bytes);
        if (n <= 0) {
          ::close(fds[i].fd);
          fds[i].fd = -1;
          continue;
        }
        received += n;
        inboxes[i].append(bytes, static_cast<std::size_t>(n));
        const auto parsed = ParseFrame({reinterpret_cast<const std::uint8_t*>(inboxes[i].data()), inboxes[i].size()});
        if (parsed.status == ParseStatus::Complete && parsed.header.type == FrameType::Send) {
          FrameHeader reply;
          reply.type = FrameType::Reply;
          reply.serial = parsed.header.serial;
          reply.lParam = 666;
          const std::string frame = EncodeFrame(reply, {});
          ::write(fds[i].fd, frame.data(), frame.size());
          inboxes[i].erase(0, parsed.frameSize);
        }
      }
    }
    ::write(report, &received, sizeof received);
    ::_exit(0);
  }

  pid_t pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  WindowHandle handle_;
  long received_ = -1;
};

class CrossUser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "acting as another user (uid 65534) needs root";
  }
  PrivateDesktop desktop_;
};

TEST_F(CrossUser, AFolderOfAnotherUserIsNeverBelievedAndTheUserIsToldWhy) {
  ASSERT_EQ(::chown(desktop_.folder().c_str(), kOtherUser, kOtherUser), 0);
  ForeignWindow foreign(desktop_.folder(), "Vokar");
  ASSERT_TRUE(foreign.handle());

  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(FindWindow("Vokar"));
  EXPECT_TRUE(EnumerateWindows().empty());
  EXPECT_FALSE(IsWindow(foreign.handle()));
  EXPECT_EQ(WindowProcess(foreign.handle()), 0u);
  EXPECT_EQ(SendMessage(foreign.handle(), WM_USER, 0, 1).status, SendStatus::NoWindow);
  EXPECT_FALSE(PostMessage(foreign.handle(), WM_USER, 0, 1, "tajne"));
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("belongs to another user (uid 65534)"), std::string::npos) << said;
  EXPECT_NE(said.find("XDG_RUNTIME_DIR"), std::string::npos) << said;

  // A program that would make its window there cannot start, and says how
  // to mend it.
  const auto created = Window::Create("Vokar", {});
  EXPECT_FALSE(created.window);
  EXPECT_NE(created.error.find("belongs to another user"), std::string::npos) << created.error;
  EXPECT_NE(created.error.find("remove it"), std::string::npos) << created.error;

  EXPECT_EQ(foreign.Stop(), 0);  // it heard nothing from us
}

TEST_F(CrossUser, AWindowOfAnotherUserInOurFolderIsNeverSpokenTo) {
  // Our folder was open to everyone for a moment, and another user put a
  // window in it.
  ASSERT_EQ(::chmod(desktop_.folder().c_str(), 0777), 0);
  ForeignWindow foreign(desktop_.folder(), "Vokar");
  ASSERT_TRUE(foreign.handle());
  ASSERT_EQ(::chmod(desktop_.folder().c_str(), 0700), 0);

  ::testing::internal::CaptureStderr();
  // Its socket answers, but its owner is checked before anything is written.
  EXPECT_EQ(SendMessage(foreign.handle(), WM_USER, 0, 1).status, SendStatus::NoWindow);
  EXPECT_FALSE(PostMessage(foreign.handle(), WM_USER, 0, 1, "tajne"));
  EXPECT_EQ(WindowProcess(foreign.handle()), 0u);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("its socket belongs to another user (uid 65534)"),
            std::string::npos);
  // Its lock and title are not ours: it is no window of this desktop, and
  // its files go.
  EXPECT_FALSE(FindWindow("Vokar"));
  EXPECT_FALSE(IsWindow(foreign.handle()));
  EXPECT_TRUE(desktop_.Files().empty());

  EXPECT_EQ(foreign.Stop(), 0);
}

}  // namespace
