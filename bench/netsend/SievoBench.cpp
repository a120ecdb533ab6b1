// What a user of the network sender waits for, with the real programs on one
// machine over loopback: vokar on the wav: virtual device, vknetdde beside it
// and sievo as the user runs it.
//   - "sievo --send": from its start to its end (the message handed over and
//     read started) and to the first audio of the message;
//   - "sievo --break" during a long reading: from its start to the server idle;
//   - a peer's connection (handshake and INITIATE) with and without a key,
//     and one "status" round trip through the agent on a standing connection.
// Everything runs on a private desktop and settings store in a temporary
// folder, removed at the end.
//   bench_sievo [RUNS]   (default 10)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Auth.h"
#include "BenchSupport.h"
#include "Wire.h"

namespace {

using namespace vokar::bench;
using namespace vokar::netdde;

// A peer of the share on a blocking loopback socket.
class Peer {
 public:
  explicit Peer(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0;
  }
  ~Peer() { ::close(fd_); }
  bool Send(const Frame& frame) {
    const auto bytes = Encode(frame);
    return bytes && ::send(fd_, bytes->data(), bytes->size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes->size());
  }
  std::optional<Frame> Read() {
    std::string body;
    for (;;) {
      if (reader_.Next(body) == FrameReader::Status::Frame) {
        auto decoded = Decode(body);
        if (!decoded) return std::nullopt;
        return std::move(*decoded.frame);
      }
      pollfd entry{fd_, POLLIN, 0};
      if (::poll(&entry, 1, 5000) <= 0) return std::nullopt;
      char bytes[4096];
      const ssize_t n = ::recv(fd_, bytes, sizeof bytes, 0);
      if (n <= 0) return std::nullopt;
      reader_.Feed(std::string_view(bytes, static_cast<std::size_t>(n)));
    }
  }
  bool Open(const std::string& key) {
    auto hello = Read();
    if (!ok_ || !hello || !std::holds_alternative<Hello>(*hello)) return false;
    Auth auth;
    auth.nonce = RandomNonce();
    if (!key.empty()) auth.proof = PeerProof(key, std::get<Hello>(*hello).nonce, auth.nonce);
    if (!Send(auth)) return false;
    auto welcome = Read();
    if (!welcome || !std::holds_alternative<Welcome>(*welcome)) return false;
    Send(Initiate{"127.0.0.1\\NDDE$\\", "VOKAR$"});
    auto answer = Read();
    return answer && std::holds_alternative<InitiateAck>(*answer) && std::get<InitiateAck>(*answer).accepted;
  }
  int Status(std::uint32_t handle) {
    Send(Execute{handle, std::string("status", 7)});
    auto ack = Read();
    return ack && std::holds_alternative<Ack>(*ack) ? std::get<Ack>(*ack).status & 0xFF : -1;
  }

 private:
  int fd_ = -1;
  bool ok_ = false;
  FrameReader reader_;
};

// Starts the agent with the settings given and returns its pid and port.
std::pair<pid_t, int> StartAgent(const std::vector<std::string>& settings) {
  std::vector<std::string> enable{VKNETDDE, "--enable", "--port", "0", "--no-announce"};
  enable.insert(enable.end(), settings.begin(), settings.end());
  Wait(Spawn(enable, {.quiet = true}));
  int fds[2];
  if (::pipe(fds) != 0) return {-1, 0};
  const pid_t pid = Spawn({VKNETDDE}, {.out = fds[1], .quiet = true});
  ::close(fds[1]);
  std::string line;
  char c = 0;
  while (::read(fds[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(fds[0]);
  const auto at = line.find(" port ");
  return {pid, at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 6)};
}

int ServerStatus(int port) {
  Peer peer(port);
  return peer.Open({}) ? peer.Status(1) : -1;
}

// Waits at most 20 s for the server to report the state wanted.
bool AwaitStatus(int port, int wanted, std::chrono::milliseconds step) {
  const auto until = Clock::now() + std::chrono::seconds(20);
  while (ServerStatus(port) != wanted) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(step);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  InitCrypto();
  BenchWorld world("sievo");
  if (!world.ok()) return 1;
  const fs::path folder = world.folder();
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (folder / "no-bus").string()).c_str(), 1);
  const fs::path wav = folder / "out.wav";
  ::setenv("VOKAR_WAVEOUT", ("wav:" + wav.string()).c_str(), 1);

  const pid_t server = Spawn({VOKAR_SERVER, "/L-"}, {.quiet = true});
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  auto [agent, port] = StartAgent({});
  const std::string computer = "127.0.0.1:" + std::to_string(port);

  Figures send, firstAudio, breakIdle, connect, connectKeyed, status;
  const std::string longText =
      "Raz, dwa, trzy, cztery, pięć, sześć, siedem, osiem, dziewięć, dziesięć. Jedenaście, dwanaście, trzynaście.";
  for (int i = 0; i < runs; ++i) {
    std::error_code ignored;
    const auto before = fs::file_size(wav, ignored);
    const auto start = Clock::now();
    const pid_t sievo = Spawn({SIEVO, "--send", computer, "Komunikat numer " + std::to_string(i) + "."}, {.quiet = true});
    std::optional<Clock::duration> audio;
    int code = -1;
    for (;;) {
      if (!audio && fs::file_size(wav, ignored) > before && !ignored) audio = Clock::now() - start;
      int status = 0;
      if (code < 0 && ::waitpid(sievo, &status, WNOHANG) == sievo) {
        code = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
        send.Add(Ms(Clock::now() - start));
      }
      if (code >= 0 && audio) break;
      if (Clock::now() - start > std::chrono::seconds(20)) break;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (audio) firstAudio.Add(Ms(*audio));
    if (!AwaitStatus(port, 2, std::chrono::milliseconds(20))) break;
  }
  for (int i = 0; i < runs; ++i) {
    Wait(Spawn({SIEVO, "--send", computer, longText}, {.quiet = true}));
    if (!AwaitStatus(port, 1, std::chrono::milliseconds(5))) break;
    const auto start = Clock::now();
    Wait(Spawn({SIEVO, "--break", computer}, {.quiet = true}));
    if (!AwaitStatus(port, 2, std::chrono::milliseconds(1))) break;
    breakIdle.Add(Ms(Clock::now() - start));
  }
  for (int i = 0; i < runs * 10; ++i) {
    const auto start = Clock::now();
    Peer peer(port);
    if (peer.Open({})) connect.Add(Ms(Clock::now() - start));
  }
  {
    Peer peer(port);
    if (peer.Open({})) {
      for (int i = 0; i < runs * 100; ++i) {
        const auto start = Clock::now();
        if (peer.Status(static_cast<std::uint32_t>(i + 1)) >= 0) status.Add(Ms(Clock::now() - start));
      }
    }
  }
  End(agent);
  const std::string key = NewKeyText();
  auto [keyedAgent, keyedPort] = StartAgent({"--key", key});
  for (int i = 0; i < runs * 10; ++i) {
    const auto start = Clock::now();
    Peer peer(keyedPort);
    if (peer.Open(key)) connectKeyed.Add(Ms(Clock::now() - start));
  }
  End(keyedAgent);
  End(server);

  send.Print("sievo --send, start to end");
  firstAudio.Print("sievo --send, start to the first audio");
  breakIdle.Print("sievo --break, start to the server idle");
  connect.Print("peer connection and INITIATE, no key");
  connectKeyed.Print("peer connection and INITIATE, with a key");
  status.Print("\"status\" round trip through the agent");
  return 0;
}
