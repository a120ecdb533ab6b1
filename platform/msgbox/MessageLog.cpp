// The names of icons, buttons and answers, and the log's record format.
#include <array>
#include <fstream>
#include <utility>

#include "MessageBox.h"

namespace vokar::msgbox {
namespace {

constexpr std::array<std::pair<Answer, std::string_view>, 7> kAnswerNames{{
    {Answer::Ok, "ok"},
    {Answer::Cancel, "cancel"},
    {Answer::Yes, "yes"},
    {Answer::No, "no"},
    {Answer::Abort, "abort"},
    {Answer::Retry, "retry"},
    {Answer::Ignore, "ignore"},
}};

std::string Escape(std::string_view field) {
  std::string out;
  for (const char c : field) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    switch (field[++i]) {
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      default: out += field[i];
    }
  }
  return out;
}

}  // namespace

std::string_view IconName(Icon icon) {
  switch (icon) {
    case Icon::None: return "none";
    case Icon::Stop: return "stop";
    case Icon::Warning: return "warning";
    case Icon::Information: return "information";
    case Icon::Question: return "question";
  }
  return "none";
}

std::string_view ButtonsName(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok: return "ok";
    case Buttons::OkCancel: return "ok-cancel";
    case Buttons::YesNo: return "yes-no";
    case Buttons::YesNoCancel: return "yes-no-cancel";
    case Buttons::AbortRetryIgnore: return "abort-retry-ignore";
    case Buttons::RetryCancel: return "retry-cancel";
  }
  return "ok";
}

std::string_view AnswerName(Answer answer) {
  for (const auto& [value, name] : kAnswerNames) {
    if (value == answer) return name;
  }
  return "ok";
}

std::optional<Answer> AnswerFromName(std::string_view name) {
  std::string lower;
  for (const char c : name) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  for (const auto& [value, known] : kAnswerNames) {
    if (known == lower) return value;
  }
  return std::nullopt;
}

Answer DefaultAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel: return Answer::Ok;
    case Buttons::YesNo:
    case Buttons::YesNoCancel: return Answer::Yes;
    case Buttons::AbortRetryIgnore: return Answer::Ignore;
    case Buttons::RetryCancel: return Answer::Retry;
  }
  return Answer::Ok;
}

std::string FormatLogRecord(const LoggedMessage& message) {
  return "caption=" + Escape(message.caption) + "\ticon=" + Escape(message.icon) + "\tbuttons=" +
         Escape(message.buttons) + "\tanswer=" + Escape(message.answer) + "\ttext=" + Escape(message.text) + "\n";
}

std::optional<LoggedMessage> ParseLogRecord(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  LoggedMessage message;
  std::array<std::pair<std::string_view, std::string*>, 5> fields{{
      {"caption=", &message.caption},
      {"icon=", &message.icon},
      {"buttons=", &message.buttons},
      {"answer=", &message.answer},
      {"text=", &message.text},
  }};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto& [prefix, target] = fields[i];
    if (line.substr(0, prefix.size()) != prefix) return std::nullopt;
    line.remove_prefix(prefix.size());
    const bool last = i + 1 == fields.size();
    const std::size_t end = last ? line.size() : line.find('\t');
    if (end == std::string_view::npos) return std::nullopt;
    *target = Unescape(line.substr(0, end));
    line.remove_prefix(last ? end : end + 1);
  }
  return message;
}

std::vector<LoggedMessage> ReadMessageLog(const std::filesystem::path& file) {
  std::vector<LoggedMessage> messages;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (auto message = ParseLogRecord(line)) messages.push_back(std::move(*message));
  }
  return messages;
}

}  // namespace vokar::msgbox
