// What the tests of the share and the sender share: the agent vknetdde run as
// a real process of the test's private desktop and store (its port read from
// what it says when it listens, its standard error kept in a file), programs
// run to their end, and a raw peer that speaks the share's frames over a
// loopback socket from any 127.x address, well or badly.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Auth.h"
#include "TestSupport.h"
#include "Wire.h"

extern char** environ;

namespace vokar::nettest {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A program run to its end with its output in files; killed when it takes
// longer than the limit.
struct Finished {
  int status = -1;  // the exit status, or -1 when it did not end by itself
  std::string out;
  std::string err;
};

inline Finished RunProgram(const std::string& program, std::vector<std::string> arguments, const fs::path& folder,
                      milliseconds limit = milliseconds(30000), const std::string& input = {}) {
  static int counter = 0;
  const std::string stem = "run" + std::to_string(++counter);
  const fs::path outFile = folder / (stem + ".out"), errFile = folder / (stem + ".err"),
                 inFile = folder / (stem + ".in");
  {
    std::ofstream(inFile, std::ios::binary) << input;
  }
  arguments.insert(arguments.begin(), program);
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inFile.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  Finished run;
  if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (pid > 0) {
    const auto deadline = Clock::now() + limit;
    int status = 0;
    bool ended = false;
    while (Clock::now() < deadline) {
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        ended = true;
        break;
      }
      std::this_thread::sleep_for(milliseconds(5));
    }
    if (!ended) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    } else if (WIFEXITED(status)) {
      run.status = WEXITSTATUS(status);
    }
  }
  run.out = ReadFile(outFile);
  run.err = ReadFile(errFile);
  std::error_code ignored;
  for (const auto& file : {outFile, errFile, inFile}) fs::remove(file, ignored);
  return run;
}

// The agent, started as the user starts it, ended (SIGTERM, then SIGKILL) and
// reaped when the object goes.
class AgentProcess {
 public:
  AgentProcess(const std::string& program, const fs::path& folder)
      : AgentProcess(std::vector<std::string>{program}, folder) {}
  // The agent started by another program that runs it (the command's first
  // word), as a sandbox does: SIGTERM goes to that program.
  AgentProcess(std::vector<std::string> command, const fs::path& folder) : errFile_(folder / "agent.err") {
    int pipeFds[2] = {-1, -1};
    if (command.empty() || ::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errFile_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    std::vector<char*> argv;
    for (auto& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, command[0].c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
    // "vknetdde: sharing VOKAR$ on 127.0.0.1 port N"
    const std::string line = ReadLine(milliseconds(10000));
    const auto at = line.find(" port ");
    if (at != std::string::npos) port_ = std::atoi(line.c_str() + at + 6);
  }
  ~AgentProcess() {
    Stop();
    if (out_ >= 0) ::close(out_);
  }
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  bool listening() const { return port_ > 0; }
  std::string Errors() const { return ReadFile(errFile_); }
  std::string Computer() const { return "127.0.0.1:" + std::to_string(port_); }

  // SIGTERM, then the exit status (-1 when it had to be killed).
  int Stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = Clock::now() + milliseconds(5000);
    while (Clock::now() < deadline) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(milliseconds(5));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return -1;
  }

  bool Running() {
    int status = 0;
    return pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == 0;
  }

  // Waits for the agent to end by itself: its exit status, or nothing when it
  // still runs after the timeout.
  std::optional<int> WaitForExit(milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (pid_ > 0 && Clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(milliseconds(5));
    }
    return std::nullopt;
  }

  // The port of the agent's next "sharing VOKAR$ on ... port N" line (after a
  // change of its address or port), or 0.
  int NextPort(milliseconds timeout = milliseconds(10000)) {
    const std::string line = ReadLine(timeout);
    const auto at = line.find(" port ");
    if (at == std::string::npos) return 0;
    port_ = std::atoi(line.c_str() + at + 6);
    return port_;
  }

 private:
  std::string ReadLine(milliseconds timeout) {
    std::string line;
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      pollfd entry{out_, POLLIN, 0};
      if (::poll(&entry, 1, 50) <= 0) continue;
      char c = 0;
      if (::read(out_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line.push_back(c);
    }
    return line;
  }

  fs::path errFile_;
  pid_t pid_ = -1;
  int out_ = -1;
  int port_ = 0;
};

// A peer of the share written by hand: a loopback socket from a chosen 127.x
// address, frames sent and read with timeouts.
class RawPeer {
 public:
  // A connection already made (by another process, as another user).
  struct Adopt {
    int fd;
  };
  explicit RawPeer(Adopt adopted) : fd_(adopted.fd), connected_(adopted.fd >= 0) {}

  explicit RawPeer(int port, const char* from = "127.0.0.1") {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0;
  }
  ~RawPeer() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawPeer(const RawPeer&) = delete;
  RawPeer& operator=(const RawPeer&) = delete;

  bool connected() const { return connected_; }

  bool SendBytes(const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
      if (n <= 0) return false;
      at += static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Send(const netdde::Frame& frame) {
    const auto bytes = netdde::Encode(frame);
    return bytes && SendBytes(*bytes);
  }

  // The next frame; nothing when the agent closed the connection (closed()
  // then) or nothing came in time.
  std::optional<netdde::Frame> Read(milliseconds timeout = milliseconds(5000)) {
    const auto deadline = Clock::now() + timeout;
    std::string body;
    for (;;) {
      const auto status = reader_.Next(body);
      if (status == netdde::FrameReader::Status::Frame) {
        auto decoded = netdde::Decode(body);
        if (!decoded) return std::nullopt;
        return std::move(*decoded.frame);
      }
      if (status == netdde::FrameReader::Status::Error || closed_) return std::nullopt;
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
      // What has arrived is always looked at, however little time is left.
      pollfd entry{fd_, POLLIN, 0};
      if (::poll(&entry, 1, static_cast<int>(std::max<long>(left, 0))) <= 0) {
        if (left <= 0) return std::nullopt;
        continue;
      }
      char bytes[4096];
      const ssize_t n = ::recv(fd_, bytes, sizeof bytes, 0);
      if (n <= 0) {
        closed_ = true;
        continue;
      }
      reader_.Feed(std::string_view(bytes, static_cast<std::size_t>(n)));
    }
  }

  // True once the agent has closed the connection (waits at most timeout).
  bool ClosedWithin(milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    do {
      Read(std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
    } while (!closed_ && Clock::now() < deadline);
    return closed_;
  }
  bool closed() const { return closed_; }

  // The handshake with the key (empty: none); the agent's answer, WELCOME or
  // REFUSED, or nothing.
  std::optional<netdde::Frame> Handshake(const std::string& key = {}) {
    auto hello = Read();
    if (!hello || !std::holds_alternative<netdde::Hello>(*hello)) return hello;
    greeting_ = std::get<netdde::Hello>(*hello);
    netdde::InitCrypto();
    netdde::Auth auth;
    auth.nonce = netdde::RandomNonce();
    if (!key.empty()) auth.proof = netdde::PeerProof(key, greeting_.nonce, auth.nonce);
    ownNonce_ = auth.nonce;
    if (!Send(auth)) return std::nullopt;
    return Read();
  }
  const netdde::Hello& greeting() const { return greeting_; }
  const netdde::Nonce& ownNonce() const { return ownNonce_; }

  // Handshake and INITIATE of the share; true when the conversation stands.
  bool Open(const std::string& key = {}) {
    auto welcome = Handshake(key);
    if (!welcome || !std::holds_alternative<netdde::Welcome>(*welcome)) return false;
    if (!Send(netdde::Initiate{"127.0.0.1\\NDDE$\\", "VOKAR$"})) return false;
    auto answer = Read();
    return answer && std::holds_alternative<netdde::InitiateAck>(*answer) &&
           std::get<netdde::InitiateAck>(*answer).accepted;
  }

  // A transaction: the answer's status word, or nothing.
  std::optional<std::uint16_t> Transact(const netdde::Frame& request, milliseconds timeout = milliseconds(5000)) {
    std::uint32_t handle = 0;
    if (const auto* poke = std::get_if<netdde::Poke>(&request)) handle = poke->handle;
    if (const auto* execute = std::get_if<netdde::Execute>(&request)) handle = execute->handle;
    if (!Send(request)) return std::nullopt;
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      auto frame = Read(std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
      if (!frame) return std::nullopt;
      if (const auto* ack = std::get_if<netdde::Ack>(&*frame); ack != nullptr && ack->handle == handle) {
        return ack->status;
      }
    }
    return std::nullopt;
  }
  std::optional<std::uint16_t> Execute(const std::string& command, std::uint32_t handle = 1) {
    return Transact(netdde::Execute{handle, command + std::string(1, '\0')});
  }
  std::optional<std::uint16_t> Poke(const std::string& text, std::uint32_t handle = 2, const std::string& item = "text",
                                    std::uint16_t format = 1) {
    return Transact(netdde::Poke{handle, format, item, text + std::string(1, '\0')});
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  bool closed_ = false;
  netdde::FrameReader reader_;
  netdde::Hello greeting_;
  netdde::Nonce ownNonce_{};
};

// A connection to the port on loopback made by a child process running as the
// user, handed to this process: the kernel knows it as that user's. -1 when
// it could not be made (only root can become another user).
inline int ConnectAsUser(uid_t uid, int port) {
  int pair[2] = {-1, -1};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return -1;
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0) ::_exit(2);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) ::_exit(3);
    char byte = 0;
    iovec data{&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &fd, sizeof(int));
    ::_exit(::sendmsg(pair[1], &message, 0) == 1 ? 0 : 4);
  }
  ::close(pair[1]);
  char byte = 0;
  iovec data{&byte, 1};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  int fd = -1;
  if (::recvmsg(pair[0], &message, 0) == 1) {
    if (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr && header->cmsg_type == SCM_RIGHTS) {
      std::memcpy(&fd, CMSG_DATA(header), sizeof(int));
    }
  }
  ::close(pair[0]);
  ::waitpid(child, nullptr, 0);
  return fd;
}

// A port nobody listens on (one that was free a moment ago).
inline int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

inline constexpr std::uint16_t kPositive = 0x8000;
inline constexpr std::uint16_t kBusy = 0x4000;

}  // namespace vokar::nettest
