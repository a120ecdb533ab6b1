#include "RegFile.h"

#include "Utf8.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "Database.h"
#include "KeyName.h"

namespace vokar::registry {
namespace {

constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::size_t kHexBytesPerLine = 24;

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

void AppendUtf16Unit(std::vector<unsigned char>& out, unsigned unit) {
  out.push_back(static_cast<unsigned char>(unit & 0xFF));
  out.push_back(static_cast<unsigned char>(unit >> 8));
}

// UTF-16LE with the terminating NUL, as the hex(1) form of a string holds it.
std::vector<unsigned char> ToUtf16Le(std::string_view utf8) {
  std::vector<unsigned char> out;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (pos + length > utf8.size()) length = utf8.size() - pos;
    unsigned long cp = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
    for (std::size_t i = 1; i < length; ++i) cp = (cp << 6) | (static_cast<unsigned char>(utf8[pos + i]) & 0x3F);
    pos += length;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      AppendUtf16Unit(out, 0xD800 + static_cast<unsigned>(cp >> 10));
      AppendUtf16Unit(out, 0xDC00 + static_cast<unsigned>(cp & 0x3FF));
    } else {
      AppendUtf16Unit(out, static_cast<unsigned>(cp));
    }
  }
  AppendUtf16Unit(out, 0);
  return out;
}

std::string HexString(const std::vector<unsigned char>& bytes) {
  std::string out = "hex(1):";
  char digits[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    out += digits;
    if (i + 1 < bytes.size()) {
      out += ',';
      if ((i + 1) % kHexBytesPerLine == 0) out += "\\\n  ";
    }
  }
  return out;
}

// One key's section: its line and its values. Values whose names hold a
// control character (an older store may have them) cannot be written to a
// line of their own and are left out, each named in skipped.
Status WriteSection(const Key& key, std::string& out, std::vector<std::string>* skipped) {
  out += "[" + key.FullName() + "]\n";
  auto values = key.Values();
  if (!values) return values.error();
  for (const auto& [name, value] : *values) {
    if (HasControlCharacter(name)) {
      if (skipped != nullptr) skipped->push_back(key.FullName() + ": the value " + Quote(name) + " (a control character in its name)");
      continue;
    }
    out += name.empty() ? std::string("@") : Quote(name);
    out += '=';
    if (const auto* text = std::get_if<std::string>(&value)) {
      out += HasControlCharacter(*text) ? HexString(ToUtf16Le(*text)) : Quote(*text);
    } else {
      char number[16];
      std::snprintf(number, sizeof number, "dword:%08x", static_cast<unsigned>(std::get<std::uint32_t>(value)));
      out += number;
    }
    out += '\n';
  }
  out += '\n';
  return {};
}

// The key and everything below it, depth first in the order of the names,
// with a stack of its own: a tree of any depth is written without the
// program's stack growing with it.
Status WriteTree(const Key& top, std::string& out, std::vector<std::string>* skipped) {
  struct Level {
    Key key;
    std::vector<std::string> children;
    std::size_t next = 0;
  };
  std::vector<Level> stack;
  const auto enter = [&](const Key& key) -> Status {
    if (auto written = WriteSection(key, out, skipped); !written) return written;
    auto subkeys = key.Subkeys();
    if (!subkeys) return subkeys.error();
    stack.push_back({key, std::move(subkeys).value(), 0});
    return {};
  };
  if (auto entered = enter(top); !entered) return entered;
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.next == level.children.size()) {
      stack.pop_back();
      continue;
    }
    const std::string name = level.children[level.next++];
    if (HasControlCharacter(name)) {
      if (skipped != nullptr) {
        skipped->push_back(level.key.FullName() + "\\" + name + " and everything below it (a control character in its name)");
      }
      continue;
    }
    auto child = level.key.OpenSubkey(name);
    // A subkey deleted by another program meanwhile is simply not written.
    if (child.IsNotFound()) continue;
    if (!child) return child.error();
    if (auto entered = enter(*child); !entered) return entered;
  }
  return {};
}

Error LineError(int line, const std::string& what, ErrorKind kind = ErrorKind::BadValue) {
  return Error{kind, "line " + std::to_string(line) + ": " + what};
}

// UTF-16LE to UTF-8; an unpaired surrogate becomes U+FFFD. With stopAtNul the
// text ends at the first NUL unit, as a string value does.
std::string FromUtf16Le(const unsigned char* data, std::size_t size, bool stopAtNul) {
  std::string out;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    unsigned long unit = data[i] | (data[i + 1] << 8);
    if (unit == 0 && stopAtNul) break;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < size) {
      const unsigned long low = data[i + 2] | (data[i + 3] << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        utf8::Append(out, static_cast<char32_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
        i += 2;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
    utf8::Append(out, static_cast<char32_t>(unit));
  }
  return out;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != prefix[i]) return false;
  }
  return true;
}

// A quoted text at the start of s with \\ and \" escapes; s is left after
// the closing quote. Nothing (with the reason in why) when it is not closed
// or holds another escape.
std::optional<std::string> ReadQuoted(std::string_view& s, std::string& why) {
  if (s.empty() || s.front() != '"') {
    why = "a quoted text was expected";
    return std::nullopt;
  }
  std::string out;
  for (std::size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c == '\\') {
      if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) {
        why = "a backslash in quotes must be written \\\\ (only \\\\ and \\\" are escapes)";
        return std::nullopt;
      }
      ++i;
    }
    out += s[i];
  }
  why = "the closing quote is missing";
  return std::nullopt;
}

std::optional<std::vector<unsigned char>> ReadHexBytes(std::string_view s) {
  std::vector<unsigned char> bytes;
  std::size_t pos = 0;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  while (pos < s.size()) {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    if (pos >= s.size()) break;
    if (pos + 1 >= s.size() || digit(s[pos]) < 0 || digit(s[pos + 1]) < 0) return std::nullopt;
    bytes.push_back(static_cast<unsigned char>(digit(s[pos]) * 16 + digit(s[pos + 1])));
    pos += 2;
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    if (pos < s.size()) {
      if (s[pos] != ',') return std::nullopt;
      ++pos;
      if (TrimLeft(s.substr(pos)).empty()) return std::nullopt;  // a trailing comma
    }
  }
  return bytes;
}

// Turns the raw bytes of the file into UTF-8 text.
Result<std::string> DecodeFileText(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    return FromUtf16Le(data + 2, bytes.size() - 2, false);
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (const std::size_t bad = FirstInvalidUtf8(bytes); bad != std::string_view::npos) {
    int line = 1;
    for (std::size_t i = 0; i < bad; ++i) line += bytes[i] == '\n';
    return LineError(line, "the text is not valid UTF-8 (byte offset " + std::to_string(bad) + ")");
  }
  return std::string(bytes);
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  Result<std::vector<RegOperation>> Run() {
    bool headerSeen = false;
    while (NextLine()) {
      const std::string_view line = TrimRight(TrimLeft(line_));
      if (line.empty() || line.front() == ';') continue;
      if (!headerSeen) {
        if (line != kRegFileHeader && line != kOldHeader) {
          return LineError(lineNumber_, "the file must begin with \"" + std::string(kRegFileHeader) + "\"");
        }
        headerSeen = true;
        continue;
      }
      Status handled = line.front() == '[' ? KeyLine(line) : ValueLine(line);
      if (!handled) return handled.error();
    }
    if (!headerSeen) return LineError(lineNumber_, "the file is empty; it must begin with \"" + std::string(kRegFileHeader) + "\"");
    return std::move(operations_);
  }

 private:
  bool NextLine() {
    if (pos_ >= text_.size()) return false;
    const auto end = text_.find('\n', pos_);
    line_ = text_.substr(pos_, end == std::string_view::npos ? std::string_view::npos : end - pos_);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
    ++lineNumber_;
    return true;
  }

  Status KeyLine(std::string_view line) {
    if (line.back() != ']') return LineError(lineNumber_, "a key line must end with ]", ErrorKind::BadName);
    std::string_view inner = line.substr(1, line.size() - 2);
    const bool remove = !inner.empty() && inner.front() == '-';
    if (remove) inner.remove_prefix(1);
    const auto location = ParseKeyLocation(inner);
    if (!location) {
      return LineError(lineNumber_, "unknown hive in [" + std::string(inner) + "] (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_CLASSES_ROOT)", ErrorKind::BadName);
    }
    if (!SplitKeyPath(location->path)) {
      return LineError(lineNumber_, "not a valid key path: " + std::string(inner), ErrorKind::BadName);
    }
    if (remove && location->path.empty()) {
      return LineError(lineNumber_, "a hive's root cannot be deleted", ErrorKind::BadName);
    }
    if (!remove) {
      if (auto problem = KeyPathProblem(location->path)) return LineError(lineNumber_, *problem, ErrorKind::BadName);
    }
    RegOperation op;
    op.kind = remove ? RegOperation::Kind::DeleteKey : RegOperation::Kind::CreateKey;
    op.key = *location;
    op.line = lineNumber_;
    operations_.push_back(op);
    currentKey_ = remove ? std::nullopt : std::optional<KeyLocation>(*location);
    sectionDeleted_ = remove;
    return {};
  }

  Status ValueLine(std::string_view line) {
    if (!currentKey_) {
      return LineError(lineNumber_, sectionDeleted_ ? "a value below a key that is being deleted"
                                                    : "a value before the first [key] line");
    }
    std::string name;
    std::string why;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else {
      auto quoted = ReadQuoted(line, why);
      if (!quoted) return LineError(lineNumber_, "value name: " + why, ErrorKind::BadName);
      name = std::move(*quoted);
      if (!IsValidValueName(name)) return LineError(lineNumber_, "not a valid value name", ErrorKind::BadName);
      if (HasControlCharacter(name)) {
        return LineError(lineNumber_, "a value name may not hold a control character (a tab or a line break)",
                         ErrorKind::BadName);
      }
    }
    line = TrimLeft(line);
    if (line.empty() || line.front() != '=') return LineError(lineNumber_, "= expected after the value name");
    line = TrimLeft(line.substr(1));

    RegOperation op;
    op.key = *currentKey_;
    op.name = name;
    op.line = lineNumber_;
    if (line == "-") {
      op.kind = RegOperation::Kind::DeleteValue;
    } else if (!line.empty() && line.front() == '"') {
      auto text = ReadQuoted(line, why);
      if (!text) return LineError(lineNumber_, "value data: " + why);
      if (!TrimRight(line).empty()) return LineError(lineNumber_, "unexpected text after the closing quote");
      if (text->find('\0') != std::string::npos) return LineError(lineNumber_, "a string value cannot hold a NUL");
      op.kind = RegOperation::Kind::SetValue;
      op.value = std::move(*text);
    } else if (StartsWithNoCase(line, "dword:")) {
      const std::string_view digits = line.substr(6);
      if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
        return LineError(lineNumber_, "dword: needs one to eight hexadecimal digits");
      }
      op.kind = RegOperation::Kind::SetValue;
      op.value = static_cast<std::uint32_t>(std::stoul(std::string(digits), nullptr, 16));
    } else if (StartsWithNoCase(line, "hex(1):")) {
      const int firstLine = lineNumber_;
      std::string data(line.substr(7));
      // Hexadecimal data goes on over lines that end with a backslash.
      while (!data.empty() && data.back() == '\\') {
        data.pop_back();
        if (!NextLine()) return LineError(firstLine, "the hexadecimal data ends after a backslash");
        data += TrimRight(TrimLeft(line_));
      }
      const auto bytes = ReadHexBytes(data);
      if (!bytes) return LineError(firstLine, "hex(1): needs bytes written as two hexadecimal digits separated by commas");
      if (bytes->size() % 2 != 0) return LineError(firstLine, "hex(1): a UTF-16 text needs an even number of bytes");
      op.kind = RegOperation::Kind::SetValue;
      op.value = FromUtf16Le(bytes->data(), bytes->size(), true);
    } else if (StartsWithNoCase(line, "hex")) {
      return LineError(lineNumber_, "only strings and dword values are kept; this value has another type");
    } else {
      return LineError(lineNumber_, "value data must be \"text\", dword:NUMBER, hex(1):BYTES or -");
    }
    operations_.push_back(std::move(op));
    return {};
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::string_view line_;
  int lineNumber_ = 0;
  std::optional<KeyLocation> currentKey_;
  bool sectionDeleted_ = false;
  std::vector<RegOperation> operations_;
};

Error AtLine(const RegOperation& op, const Error& error) {
  return Error{error.kind, "line " + std::to_string(op.line) + ": " + error.description};
}

}  // namespace

Result<std::string> ExportRegText(const std::vector<KeyLocation>& keys, std::vector<std::string>* skipped) {
  std::string out(kRegFileHeader);
  out += "\n\n";
  for (const auto& location : keys) {
    auto key = Key::Open(location.root, location.path);
    if (!key) return key.error();
    if (auto written = WriteTree(*key, out, skipped); !written) return written.error();
  }
  return out;
}

Result<std::string> ExportRegText(const std::vector<KeyLocation>& keys) { return ExportRegText(keys, nullptr); }

Result<std::string> ExportAllRegText(std::vector<std::string>* skipped) {
  return ExportRegText({{Root::CurrentUser, ""}, {Root::LocalMachine, ""}, {Root::ClassesRoot, ""}}, skipped);
}

Result<std::string> ExportAllRegText() { return ExportAllRegText(nullptr); }

Result<std::vector<RegOperation>> ParseRegText(std::string_view bytes) {
  auto text = DecodeFileText(bytes);
  if (!text) return text.error();
  return Parser(*text).Run();
}

namespace {
Status ApplyInOrder(const std::vector<RegOperation>& operations);
}  // namespace

Status ApplyRegOperations(const std::vector<RegOperation>& operations) {
  // One transaction per hive, all begun before the first change (always in
  // the same order, so that two imports cannot wait on each other) and
  // committed after the last: a file is imported whole or not at all.
  std::vector<std::shared_ptr<Database>> hives;
  std::vector<std::unique_ptr<WriteTransaction>> transactions;
  for (const Root root : {Root::CurrentUser, Root::LocalMachine, Root::ClassesRoot}) {
    bool used = false;
    for (const auto& op : operations) used = used || op.key.root == root;
    if (!used) continue;
    auto hive = Database::ForRoot(root);
    if (!hive) return hive.error();
    hives.push_back(hive.value());
    transactions.push_back(std::make_unique<WriteTransaction>(*hives.back()));
    if (!transactions.back()->begun()) return hives.back()->StorageError("importing");
  }
  if (auto applied = ApplyInOrder(operations); !applied) return applied;
  for (std::size_t i = 0; i < transactions.size(); ++i) {
    if (!transactions[i]->Commit()) return hives[i]->StorageError("importing");
  }
  return {};
}

namespace {

Status ApplyInOrder(const std::vector<RegOperation>& operations) {
  std::optional<Key> current;
  for (const auto& op : operations) {
    switch (op.kind) {
      case RegOperation::Kind::CreateKey: {
        auto key = Key::Create(op.key.root, op.key.path);
        if (!key) return AtLine(op, key.error());
        current = std::move(key).value();
        break;
      }
      case RegOperation::Kind::DeleteKey: {
        current.reset();
        const Status deleted = DeleteTree(op.key.root, op.key.path);
        if (!deleted && !deleted.IsNotFound()) return AtLine(op, deleted.error());
        break;
      }
      case RegOperation::Kind::SetValue: {
        if (!current) return AtLine(op, Error{ErrorKind::BadValue, "a value without a key"});
        if (auto set = current->Set(op.name, op.value); !set) return AtLine(op, set.error());
        break;
      }
      case RegOperation::Kind::DeleteValue: {
        if (!current) return AtLine(op, Error{ErrorKind::BadValue, "a value without a key"});
        const Status deleted = current->DeleteValue(op.name);
        if (!deleted && !deleted.IsNotFound()) return AtLine(op, deleted.error());
        break;
      }
    }
  }
  return {};
}

}  // namespace

Status ImportRegText(std::string_view bytes) {
  auto operations = ParseRegText(bytes);
  if (!operations) return operations.error();
  return ApplyRegOperations(*operations);
}

}  // namespace vokar::registry
