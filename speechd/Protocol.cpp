#include "Protocol.h"

#include <algorithm>

namespace vokar::speechd {
namespace {

struct CommandName {
  std::string_view name;
  RequestKind kind;
};

constexpr CommandName kCommands[] = {
    {"INIT", RequestKind::Init},         {"LIST VOICES", RequestKind::ListVoices},
    {"SET", RequestKind::Set},           {"AUDIO", RequestKind::Audio},
    {"LOGLEVEL", RequestKind::LogLevel}, {"SPEAK", RequestKind::Speak},
    {"CHAR", RequestKind::Char},         {"KEY", RequestKind::Key},
    {"SOUND_ICON", RequestKind::SoundIcon}, {"STOP", RequestKind::Stop},
    {"PAUSE", RequestKind::Pause},       {"QUIT", RequestKind::Quit},
};

RequestKind KindOf(std::string_view line) {
  for (const auto& command : kCommands)
    if (line == command.name) return command.kind;
  return RequestKind::Unknown;
}

// A dot line needs two bytes to be told apart from a longer line.
constexpr std::size_t kDotLine = 2;

}  // namespace

bool IsBlock(RequestKind kind) {
  switch (kind) {
    case RequestKind::Set:
    case RequestKind::Audio:
    case RequestKind::LogLevel:
      return true;
    default:
      return IsMessage(kind);
  }
}

bool IsMessage(RequestKind kind) {
  return kind == RequestKind::Speak || kind == RequestKind::Char || kind == RequestKind::Key ||
         kind == RequestKind::SoundIcon;
}

void RequestReader::Feed(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    if (end == std::string_view::npos) {
      AppendToLine(bytes);
      return;
    }
    AppendToLine(bytes.substr(0, end));
    bytes.remove_prefix(end + 1);
    std::string line;
    line.swap(line_);
    const bool cut = lineCut_;
    lineCut_ = false;
    Line(line, cut);
  }
}

std::optional<ReaderEvent> RequestReader::Next() {
  if (events_.empty()) return std::nullopt;
  ReaderEvent event = std::move(events_.front());
  events_.pop_front();
  return event;
}

std::size_t RequestReader::LineLimit() const {
  if (!block_) return limits_.commandLine;
  if (!IsMessage(block_->kind)) return limits_.settingLine;
  // What the message can still take, and room to see a dot line.
  const std::size_t used = block_->text.size() + (firstBodyLine_ ? 0 : 1);
  return std::max(kDotLine, limits_.message > used ? limits_.message - used : 0);
}

void RequestReader::AppendToLine(std::string_view bytes) {
  const std::size_t limit = LineLimit();
  const std::size_t room = line_.size() < limit ? limit - line_.size() : 0;
  if (bytes.size() > room) lineCut_ = true;
  line_.append(bytes.substr(0, std::min(room, bytes.size())));
}

void RequestReader::Line(std::string_view line, bool cut) {
  if (block_) {
    BlockLine(line, cut);
    return;
  }
  // Only line feeds end lines here; a carriage return before one is not
  // part of the command.
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  Request request;
  request.kind = cut ? RequestKind::Unknown : KindOf(line);
  request.line = line;
  request.truncated = cut;
  if (IsBlock(request.kind)) {
    events_.push_back({ReaderEvent::Type::BlockOpened, request});
    block_ = std::move(request);
    firstBodyLine_ = true;
    return;
  }
  events_.push_back({ReaderEvent::Type::Complete, std::move(request)});
}

void RequestReader::BlockLine(std::string_view line, bool cut) {
  Request& request = *block_;
  if (!cut && line == ".") {
    events_.push_back({ReaderEvent::Type::Complete, std::move(request)});
    block_.reset();
    return;
  }
  if (cut) request.truncated = true;
  if (IsMessage(request.kind)) {
    // A line of the text that is a single dot comes doubled.
    if (line == "..") line = ".";
    if (!firstBodyLine_) {
      if (request.text.size() < limits_.message) request.text += '\n';
      else request.truncated = true;
    }
    const std::size_t room = limits_.message > request.text.size() ? limits_.message - request.text.size() : 0;
    if (line.size() > room) request.truncated = true;
    request.text.append(line.substr(0, std::min(room, line.size())));
    firstBodyLine_ = false;
    return;
  }
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos || cut) return;
  if (request.settings.size() >= limits_.settings) {
    request.truncated = true;
    return;
  }
  request.settings.emplace_back(std::string(line.substr(0, equals)), std::string(line.substr(equals + 1)));
}

}  // namespace vokar::speechd
