// The desktop clipboard as the programs use it: whether it holds text, the
// text in code page 1250 (characters the code page lacks become '?') cut to a
// byte limit, and text put on it. Linux clipboards speak UTF-8; the conversion
// happens here. Whether text is there is learnt from the clipboard's change
// notices, never by asking the clipboard's owner on a timer, so a slow or hung
// owner cannot stall the window that asks.
#pragma once

#include <QObject>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vokar::clipboard {

class CClipboard final : public QObject {
 public:
  // Needs a QGuiApplication.
  explicit CClipboard(QObject* parent = nullptr);

  // True when the clipboard held text at its last change notice.
  bool HasText() const { return hasText_; }

  // The text in code page 1250, at most maxBytes bytes of it; nothing when the
  // clipboard holds no text.
  std::optional<std::string> TextCp1250(std::size_t maxBytes) const;

  // Puts text on the clipboard (as UTF-8 text for other programs).
  void SetTextUtf8(std::string_view utf8Text);
  void SetTextCp1250(std::string_view cp1250Text);

  // Called after every change of the clipboard, once HasText is up to date.
  void OnChanged(std::function<void()> callback) { callbacks_.push_back(std::move(callback)); }

 private:
  void Refresh();

  bool hasText_ = false;
  std::vector<std::function<void()>> callbacks_;
};

}  // namespace vokar::clipboard
