// What speech-dispatcher asks of an output module, read from the bytes of the
// module's standard input: one-line commands (INIT, LIST VOICES, STOP, PAUSE,
// QUIT), blocks of name=value settings (SET, AUDIO, LOGLEVEL) and messages
// (SPEAK, CHAR, KEY, SOUND_ICON), the last two ending at a line that holds a
// single dot. The reader takes the bytes in any pieces and never holds more
// than its limits, however long a line or a message is.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vokar::speechd {

enum class RequestKind {
  Init,
  ListVoices,
  Set,
  Audio,
  LogLevel,
  Speak,
  Char,
  Key,
  SoundIcon,
  Stop,
  Pause,
  Quit,
  Unknown,
};

// True for the requests whose lines run on to a line with a single dot.
bool IsBlock(RequestKind kind);
// True for the messages among them (the others are settings).
bool IsMessage(RequestKind kind);

struct Request {
  RequestKind kind = RequestKind::Unknown;
  // The command line as it came (without its line end), cut to the limit.
  std::string line;
  // Settings blocks: each name=value line, in order; a line without '=' is left out.
  std::vector<std::pair<std::string, std::string>> settings;
  // Messages: the lines joined by line feeds, a doubled dot line read as one dot.
  std::string text;
  // Something was longer than the limits and was left out.
  bool truncated = false;
};

struct ReaderLimits {
  std::size_t commandLine = 256;         // bytes of a command line
  std::size_t settingLine = 4096;        // bytes of one name=value line
  std::size_t settings = 64;             // name=value lines kept of one block
  std::size_t message = 1024 * 1024;     // bytes of one message's text (hours of speech)
};

// One step of the conversation: a block has been opened (the module answers
// at once that it is receiving), or a request is complete.
struct ReaderEvent {
  enum class Type { BlockOpened, Complete } type = Type::Complete;
  Request request;  // for BlockOpened only kind and line are set
};

class RequestReader {
 public:
  explicit RequestReader(ReaderLimits limits = {}) : limits_(limits) {}

  // Takes the next bytes of the stream.
  void Feed(std::string_view bytes);
  // The events the bytes fed so far have made, oldest first.
  std::optional<ReaderEvent> Next();

  // True while a block has been opened and its closing dot has not come.
  bool InBlock() const { return block_.has_value(); }

 private:
  void Line(std::string_view line, bool cut);
  void BlockLine(std::string_view line, bool cut);
  void AppendToLine(std::string_view bytes);
  std::size_t LineLimit() const;

  ReaderLimits limits_;
  std::deque<ReaderEvent> events_;
  std::optional<Request> block_;
  bool firstBodyLine_ = true;
  std::string line_;    // the line being read, at most the limit
  bool lineCut_ = false; // bytes of it were left out
};

}  // namespace vokar::speechd
