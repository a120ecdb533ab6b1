#include "HandOver.h"

#include <limits.h>

#include <filesystem>
#include <thread>

#include "Desktop.h"
#include "MessageBox.h"
#include "NamedFile.h"
#include "ServerIds.h"
#include "ServerStrings.h"

namespace vokar::server {

std::string FullPath(const std::string& file) {
  std::error_code error;
  const auto full = std::filesystem::absolute(file, error);
  return error ? file : full.lexically_normal().string();
}

HandOverResult HandOverToRunningServer(const CommandLine& line, std::chrono::milliseconds wait) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + wait;
  desktop::WindowHandle window;
  while (!(window = desktop::FindWindow(kServerTitle))) {
    if (Clock::now() >= deadline) return HandOverResult::NoWindow;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!line.file.empty()) {
    const std::string path = FullPath(line.file);
    if (path.size() >= PATH_MAX) {
      // A longer path would have to be cut and could then name another file.
      msgbox::ShowMessageBox(Strings().Utf8(IDS_APP_TITLE), app::FileErrorMessageFor(path, files::FileError::BadPath),
                             msgbox::Icon::Stop, msgbox::Buttons::Ok);
    } else {
      const auto sent = desktop::SendMessage(window, WM_SERVER_OPENFILE, 0, 0, path);
      if (sent.ok()) return HandOverResult::FileHandedOver;
    }
  }
  desktop::SendMessage(window, WM_SERVER_SHOW, 0, 0);
  return HandOverResult::BroughtForward;
}

}  // namespace vokar::server
