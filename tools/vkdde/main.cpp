// vkdde: talks to the speech server from the command line, as the client
// programs do: pokes text, executes read, pause, break and status, asks the
// version, and hands a file to the server's queue.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "Cp1250.h"
#include "Ddeml.h"
#include "Desktop.h"
#include "RegularFile.h"

namespace {

using namespace vokar;

constexpr const char* kUsage =
    "usage: vkdde [options] COMMAND\n"
    "Talks to the speech server Vokar over DDE (service Vokar, topic System).\n"
    "Commands:\n"
    "  poke TEXT         store TEXT in the server's text buffer (item \"text\")\n"
    "  poke -f FILE      store the file's text; \"-\" reads standard input\n"
    "  exec COMMAND      execute read, pause, break or status (status prints\n"
    "                    1 reading, 2 idle, 3 paused)\n"
    "  speak TEXT        break, poke and read, as the client programs do\n"
    "  version           print the server's version\n"
    "  open FILE         queue a file for the server to read\n"
    "Options:\n"
    "  --service NAME    DDE service (default Vokar)\n"
    "  --topic NAME      DDE topic (default System)\n"
    "  --timeout MS      how long to wait for each answer (default 5000)\n"
    "Text is UTF-8 or Windows-1250 and is sent as Windows-1250.\n"
    "Exit status: 0 done, 1 refused (4 when busy), 2 bad command line,\n"
    "3 no server or no answer.\n";

constexpr std::uint32_t WM_SERVER_VERSION = desktop::WM_USER + 1;
constexpr std::uint32_t WM_SERVER_OPENFILE = desktop::WM_USER + 2;
// The largest text one poke message can carry; the server keeps 65276 bytes.
constexpr std::size_t kMaxPokeFile = 512 * 1024;

struct Options {
  std::string service = "Vokar";
  std::string topic = "System";
  int timeoutMs = 5000;
  std::vector<std::string> words;
};

const char* ErrorName(std::uint32_t error) {
  switch (error) {
    case dde::DMLERR_BUSY: return "the server is busy";
    case dde::DMLERR_NOTPROCESSED: return "the server refused it";
    case dde::DMLERR_POKEACKTIMEOUT:
    case dde::DMLERR_EXECACKTIMEOUT: return "the server did not answer in time";
    case dde::DMLERR_SERVER_DIED: return "the server went away";
    case dde::DMLERR_NO_CONV_ESTABLISHED: return "no server answers";
    case dde::DMLERR_INVALIDPARAMETER: return "the data is too large";
    default: return "DDE error";
  }
}

class Client {
 public:
  explicit Client(const Options& options) : options_(options) {}
  ~Client() {
    if (conversation_) dde::Disconnect(conversation_);
    if (instance_ != 0) dde::Uninitialize(instance_);
  }

  bool Connect() {
    if (dde::Initialize(instance_, nullptr, dde::InitMode::ClientOnly) != dde::DMLERR_NO_ERROR) {
      std::cerr << "vkdde: the desktop cannot be used\n";
      return false;
    }
    const auto service = dde::CreateStringHandle(instance_, options_.service);
    const auto topic = dde::CreateStringHandle(instance_, options_.topic);
    conversation_ = dde::Connect(instance_, service, topic);
    if (!conversation_) {
      std::cerr << "vkdde: no server answers for " << options_.service << "|" << options_.topic << "\n";
      return false;
    }
    return true;
  }

  // 0 done, 1 refused, 4 busy, 3 no answer; the status word in *status.
  int Transaction(std::string_view data, dde::TransactionType type, std::uint32_t* status = nullptr) {
    const auto item = dde::CreateStringHandle(instance_, type == dde::TransactionType::Poke ? "text" : "");
    std::uint32_t result = 0;
    const bool ok = dde::ClientTransaction(data, conversation_, item, dde::CF_TEXT, type,
                                           std::chrono::milliseconds(options_.timeoutMs), &result);
    if (status) *status = result;
    if (ok) return 0;
    const std::uint32_t error = dde::GetLastError(instance_);
    std::cerr << "vkdde: " << ErrorName(error) << " (0x" << std::hex << error << std::dec << ")\n";
    if (error == dde::DMLERR_BUSY) return 4;
    if (error == dde::DMLERR_NOTPROCESSED) return 1;
    return 3;
  }

 private:
  const Options& options_;
  dde::DdeInstance instance_ = 0;
  dde::Conversation conversation_;
};

std::optional<std::string> PokeText(const std::vector<std::string>& words) {
  if (words.size() == 3 && words[1] == "-f") {
    if (words[2] == "-") {
      return cp1250::IncomingText(
          std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()));
    }
    const auto read = files::ReadRegularFile(words[2], kMaxPokeFile);
    if (!read.ok()) {
      std::cerr << "vkdde: cannot read " << words[2] << ": " << files::FileErrorName(read.error) << "\n";
      return std::nullopt;
    }
    // The start of a longer file may end inside a character.
    return cp1250::IncomingText(read.bytes, read.truncated ? cp1250::TextEnd::Cut : cp1250::TextEnd::Whole);
  }
  if (words.size() < 2) return std::nullopt;
  std::string text;
  for (std::size_t i = 1; i < words.size(); ++i) text += (i > 1 ? " " : "") + words[i];
  return cp1250::IncomingText(text);
}

int Version(const Options& options) {
  const auto window = desktop::FindWindow("Vokar");
  if (!window) {
    std::cerr << "vkdde: no window titled Vokar\n";
    return 3;
  }
  const auto timeout = std::chrono::milliseconds(options.timeoutMs);
  const auto high = desktop::SendMessage(window, WM_SERVER_VERSION, 0, 0, {}, timeout);
  const auto low = desktop::SendMessage(window, WM_SERVER_VERSION, 1, 0, {}, timeout);
  if (!high.ok() || !low.ok()) {
    std::cerr << "vkdde: the server did not answer\n";
    return 3;
  }
  std::printf("%lld.%lld.%lld.%lld\n", static_cast<long long>((high.result >> 16) & 0xFFFF),
              static_cast<long long>(high.result & 0xFFFF), static_cast<long long>((low.result >> 16) & 0xFFFF),
              static_cast<long long>(low.result & 0xFFFF));
  return 0;
}

int Open(const Options& options, const std::string& file) {
  const auto window = desktop::FindWindow("Vokar");
  if (!window) {
    std::cerr << "vkdde: no window titled Vokar\n";
    return 3;
  }
  std::error_code error;
  const std::string path = std::filesystem::absolute(file, error).lexically_normal().string();
  const auto sent = desktop::SendMessage(window, WM_SERVER_OPENFILE, 0, 0, error ? file : path, std::chrono::milliseconds(options.timeoutMs));
  if (!sent.ok()) {
    std::cerr << "vkdde: the server did not take the file\n";
    return 3;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--service" || arg == "--topic" || arg == "--timeout") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "--service") options.service = value;
      if (arg == "--topic") options.topic = value;
      if (arg == "--timeout") {
        char* end = nullptr;
        const long ms = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || ms < 1 || ms > 600000) {
          std::cerr << "vkdde: --timeout takes 1 to 600000 milliseconds\n";
          return 2;
        }
        options.timeoutMs = static_cast<int>(ms);
      }
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else {
      options.words.push_back(arg);
    }
  }
  const auto& words = options.words;
  if (words.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string& command = words[0];
  if (command == "version" && words.size() == 1) return Version(options);
  if (command == "open" && words.size() == 2) return Open(options, words[1]);
  if (command != "poke" && command != "exec" && command != "speak") {
    std::cerr << kUsage;
    return 2;
  }
  std::optional<std::string> text;
  if (command == "exec") {
    if (words.size() != 2) {
      std::cerr << kUsage;
      return 2;
    }
  } else {
    text = PokeText(words);
    if (!text) {
      std::cerr << kUsage;
      return 2;
    }
  }

  Client client(options);
  if (!client.Connect()) return 3;
  if (command == "exec") {
    std::uint32_t status = 0;
    const int result = client.Transaction(words[1] + std::string(1, '\0'), dde::TransactionType::Execute, &status);
    if (result == 0 && words[1].find("status") != std::string::npos && words[1].find("read") == std::string::npos &&
        words[1].find("pause") == std::string::npos && words[1].find("break") == std::string::npos)
      std::printf("%u\n", status & 0xFF);
    return result;
  }
  const std::string data = *text + std::string(1, '\0');
  if (command == "speak") {
    if (const int result = client.Transaction(std::string("break") + '\0', dde::TransactionType::Execute)) return result;
  }
  if (const int result = client.Transaction(data, dde::TransactionType::Poke)) return result;
  if (command == "speak") return client.Transaction(std::string("read") + '\0', dde::TransactionType::Execute);
  return 0;
}
