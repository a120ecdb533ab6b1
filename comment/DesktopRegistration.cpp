#include "DesktopRegistration.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include "CommentPicture.h"
#include "CommentType.h"
#include "DesktopFiles.h"
#include "ReplaceFile.h"
#include "Utf8.h"

extern char** environ;

namespace vokar::comment {
namespace {

namespace fs = std::filesystem;

fs::path FromVariable(const char* variable, const char* underHome) {
  if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') return value;
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return fs::path(home) / underHome;
  return {};
}

std::string ReplaceAll(std::string text, std::string_view what, std::string_view with) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

// A value of a desktop entry: backslash is its escape character.
std::string EntryString(std::string_view text) { return ReplaceAll(std::string(text), "\\", "\\\\"); }

std::optional<std::string> ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string PngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

QImage Centred(const QImage& image, int size) {
  QImage canvas(size, size, QImage::Format_ARGB32);
  canvas.fill(Qt::transparent);
  QPainter painter(&canvas);
  painter.drawImage((size - image.width()) / 2, (size - image.height()) / 2, image);
  painter.end();
  return canvas;
}

// Runs a tool of the desktop and waits for it; nothing when it ran and
// succeeded, else why not.
std::optional<std::string> RunTool(const std::string& tool, const fs::path& argument) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (const int fd : {0, 1, 2}) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  std::string argumentText = argument.string();
  char* argv[] = {const_cast<char*>(tool.c_str()), argumentText.data(), nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, tool.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return tool + " cannot be started: " + std::generic_category().message(spawned);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return tool + " could not be waited for";
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::nullopt;
  return tool + " failed on " + argumentText;
}

// Writes the file when its contents differ; true when it was written.
bool Update(const fs::path& path, std::string_view bytes, DesktopOutcome& outcome) {
  if (const auto old = ReadWhole(path); old && *old == bytes) return false;
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  if (const std::string reason = ReplaceFileContents(path, bytes); !reason.empty()) {
    outcome.ok = false;
    outcome.problems.push_back(path.string() + ": " + reason);
    return false;
  }
  return true;
}

void Remove(const fs::path& path, DesktopOutcome& outcome) {
  std::error_code error;
  fs::remove(path, error);
  if (error) {
    outcome.ok = false;
    outcome.problems.push_back(path.string() + ": " + error.message());
  }
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

bool IsSection(std::string_view line) {
  line = Trim(line);
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

constexpr std::string_view kDefaultsSection = "[Default Applications]";
constexpr std::string_view kAddedSection = "[Added Associations]";

}  // namespace

DesktopPlaces DesktopPlaces::FromEnvironment() {
  return {FromVariable("XDG_DATA_HOME", ".local/share"), FromVariable("XDG_CONFIG_HOME", ".config")};
}

fs::path DesktopPlaces::MimePackage() const { return dataHome / "mime" / "packages" / kMimePackageFile; }
fs::path DesktopPlaces::DesktopEntry() const { return dataHome / "applications" / kDesktopEntryFile; }
fs::path DesktopPlaces::MimeAppsList() const { return configHome / "mimeapps.list"; }

std::vector<fs::path> DesktopPlaces::Icons() const { return IconFiles(dataHome / "icons"); }

std::vector<fs::path> IconFiles(const fs::path& iconsRoot) {
  const fs::path hicolor = iconsRoot / "hicolor";
  const std::string mime = std::string(kMimeIconName) + ".png";
  return {hicolor / "32x32" / "mimetypes" / mime, hicolor / "48x48" / "mimetypes" / mime};
}

bool WriteIcons(const fs::path& iconsRoot, std::vector<std::string>& problems) {
  DesktopOutcome outcome;
  const QImage picture = RenderPicture();
  const QImage large = Centred(RenderPresentation(), 48);
  const auto icons = IconFiles(iconsRoot);
  // The 32-pixel icon is the picture alone, the 48-pixel one its presentation.
  Update(icons[0], PngBytes(picture), outcome);
  Update(icons[1], PngBytes(large), outcome);
  problems.insert(problems.end(), outcome.problems.begin(), outcome.problems.end());
  return outcome.ok;
}

std::optional<std::string> QuoteExecArgument(std::string_view argument) {
  std::size_t pos = 0;
  while (pos < argument.size()) {
    const long c = utf8::DecodeOne(argument, pos);
    if (c < 0x20 || c == 0x7F) return std::nullopt;
  }
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';
  }
  quoted += '"';
  return quoted;
}

std::optional<std::string> DesktopEntryText(const fs::path& program) {
  const auto quoted = QuoteExecArgument(program.string());
  if (!quoted) return std::nullopt;
  std::string text(desktopfiles::kDesktopEntryTemplate);
  text = ReplaceAll(std::move(text), "{EXEC}", EntryString(*quoted));
  return ReplaceAll(std::move(text), "{TRYEXEC}", EntryString(program.string()));
}

std::string_view MimePackageText() { return desktopfiles::kMimePackage; }

std::string WithDefaultApplication(std::string_view list, std::string_view mimeType, std::string_view entry) {
  std::vector<std::string> lines = Lines(list);
  std::optional<std::size_t> header;
  bool inDefaults = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsSection(lines[i])) {
      inDefaults = Trim(lines[i]) == kDefaultsSection;
      if (inDefaults && !header) header = i;
      continue;
    }
    const std::size_t equals = lines[i].find('=');
    if (inDefaults && equals != std::string::npos && Trim(std::string_view(lines[i]).substr(0, equals)) == mimeType)
      return std::string(list);  // the user's choice stays
  }
  const std::string line = std::string(mimeType) + "=" + std::string(entry) + ";";
  if (header) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*header) + 1, line);
  } else {
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
    lines.emplace_back(kDefaultsSection);
    lines.push_back(line);
  }
  return JoinLines(lines);
}

std::string WithoutApplication(std::string_view list, std::string_view entry) {
  std::vector<std::string> kept;
  bool inAssociations = false;
  bool changed = false;
  for (const std::string& line : Lines(list)) {
    if (IsSection(line)) {
      inAssociations = Trim(line) == kDefaultsSection || Trim(line) == kAddedSection;
      kept.push_back(line);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inAssociations || equals == std::string::npos) {
      kept.push_back(line);
      continue;
    }
    std::string rest;
    bool any = false;
    std::string_view values = std::string_view(line).substr(equals + 1);
    while (!values.empty()) {
      const std::size_t semicolon = values.find(';');
      const std::string_view value = Trim(values.substr(0, semicolon));
      if (value == entry) {
        changed = true;
      } else if (!value.empty()) {
        rest += std::string(value) + ";";
        any = true;
      }
      if (semicolon == std::string_view::npos) break;
      values.remove_prefix(semicolon + 1);
    }
    if (any) kept.push_back(line.substr(0, equals + 1) + rest);
  }
  return changed ? JoinLines(kept) : std::string(list);
}

DesktopOutcome RegisterWithDesktop(const fs::path& program, const DesktopPlaces& places) {
  DesktopOutcome outcome;
  if (places.dataHome.empty() || places.configHome.empty()) {
    outcome.ok = false;
    outcome.problems.push_back("neither XDG_DATA_HOME and XDG_CONFIG_HOME nor HOME is set");
    return outcome;
  }
  const auto entry = DesktopEntryText(program);
  if (!entry) {
    outcome.ok = false;
    outcome.problems.push_back("the program's path cannot be written into a desktop entry: " + program.string());
  }
  const bool entryChanged = entry && Update(places.DesktopEntry(), *entry, outcome);

  if (!WriteIcons(places.dataHome / "icons", outcome.problems)) outcome.ok = false;

  const fs::path mimeFolder = places.dataHome / "mime";
  const bool packageChanged = Update(places.MimePackage(), MimePackageText(), outcome);
  std::error_code error;
  if (packageChanged || !fs::exists(mimeFolder / "mime.cache", error)) {
    if (const auto failure = RunTool("update-mime-database", mimeFolder)) {
      outcome.ok = false;
      outcome.problems.push_back(*failure);
    } else {
      outcome.mimeDatabaseRebuilt = true;
    }
  }

  const std::string list = ReadWhole(places.MimeAppsList()).value_or("");
  Update(places.MimeAppsList(), WithDefaultApplication(list, kMimeType, kDesktopEntryFile), outcome);
  // Some file managers list applications from the folder's cache; it is
  // optional, so a missing tool is no failure.
  if (entryChanged) RunTool("update-desktop-database", places.dataHome / "applications");
  return outcome;
}

DesktopOutcome RemoveFromDesktop(const DesktopPlaces& places) {
  DesktopOutcome outcome;
  if (places.dataHome.empty() || places.configHome.empty()) {
    outcome.ok = false;
    outcome.problems.push_back("neither XDG_DATA_HOME and XDG_CONFIG_HOME nor HOME is set");
    return outcome;
  }
  std::error_code error;
  const bool hadPackage = fs::exists(places.MimePackage(), error);
  Remove(places.MimePackage(), outcome);
  if (hadPackage) {
    if (const auto failure = RunTool("update-mime-database", places.dataHome / "mime")) {
      outcome.ok = false;
      outcome.problems.push_back(*failure);
    } else {
      outcome.mimeDatabaseRebuilt = true;
    }
  }
  Remove(places.DesktopEntry(), outcome);
  for (const auto& icon : places.Icons()) Remove(icon, outcome);
  if (const auto list = ReadWhole(places.MimeAppsList())) {
    const std::string edited = WithoutApplication(*list, kDesktopEntryFile);
    if (edited != *list) Update(places.MimeAppsList(), edited, outcome);
  }
  if (fs::exists(places.dataHome / "applications", error)) RunTool("update-desktop-database", places.dataHome / "applications");
  return outcome;
}

std::optional<std::string> RebuildMimeDatabase(const fs::path& database) {
  return RunTool("update-mime-database", database);
}

DesktopOutcome ForgetDefaultApplication(const DesktopPlaces& places) {
  DesktopOutcome outcome;
  if (places.dataHome.empty() || places.configHome.empty()) return outcome;
  if (const auto list = ReadWhole(places.MimeAppsList())) {
    const std::string edited = WithoutApplication(*list, kDesktopEntryFile);
    if (edited != *list) Update(places.MimeAppsList(), edited, outcome);
  }
  // Only a cache that is there is brought up to date; none is made.
  std::error_code error;
  const fs::path applications = places.dataHome / "applications";
  if (fs::is_regular_file(fs::symlink_status(applications / "mimeinfo.cache", error)))
    RunTool("update-desktop-database", applications);
  return outcome;
}

}  // namespace vokar::comment
