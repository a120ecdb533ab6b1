#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "Cp1250.h"

namespace vokar::clipboard {

CClipboard::CClipboard(QObject* parent) : QObject(parent) {
  QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { Refresh(); });
  Refresh();
}

void CClipboard::Refresh() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  hasText_ = data != nullptr && data->hasText() && !data->text().isEmpty();
  const auto callbacks = callbacks_;
  for (const auto& callback : callbacks) callback();
}

std::optional<std::string> CClipboard::TextCp1250(std::size_t maxBytes) const {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  if (data == nullptr || !data->hasText()) return std::nullopt;
  const QByteArray utf8 = data->text().toUtf8();
  std::string text = cp1250::FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
  // The platform's text ends at its first NUL, as the programs read it.
  if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  if (text.size() > maxBytes) text.resize(maxBytes);
  return text;
}

void CClipboard::SetTextUtf8(std::string_view utf8Text) {
  QGuiApplication::clipboard()->setText(QString::fromUtf8(utf8Text.data(), static_cast<qsizetype>(utf8Text.size())),
                                        QClipboard::Clipboard);
}

void CClipboard::SetTextCp1250(std::string_view cp1250Text) { SetTextUtf8(cp1250::ToUtf8(cp1250Text)); }

}  // namespace vokar::clipboard
