#include "RemarkaView.h"

#include <QKeyEvent>
#include <QTextCursor>
#include <QTextDocument>

#include "CommentText.h"

namespace vokar::comment {

CRemarkaView::CRemarkaView(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setAccessibleName(QStringLiteral("Tekst komentarza"));
  setWhatsThis(QStringLiteral("Tekst komentarza. „Czytaj” (Ctrl+A) czyta go na głos albo tylko zaznaczoną część."));
}

std::optional<std::string> CapTextToRead(std::string cp1250Text) {
  if (cp1250Text.size() > kMaxTextToRead) cp1250Text.resize(kMaxTextToRead);
  if (cp1250Text.empty()) return std::nullopt;
  return cp1250Text;
}

std::optional<std::string> CRemarkaView::TextToRead() const {
  const QTextCursor cursor = textCursor();
  const QString text = cursor.hasSelection() ? cursor.selectedText() : toPlainText();
  return CapTextToRead(ToFileText(text.toStdString()).cp1250);
}

std::string CRemarkaView::FileText() const { return ToFileText(toPlainText().toStdString()).cp1250; }

int CRemarkaView::ReplaceCharacters(const std::u32string& characters) {
  int replaced = 0;
  QTextCursor block(document());
  block.beginEditBlock();
  for (const char32_t c : characters) {
    const QString needle = QString::fromUcs4(&c, 1);
    QTextCursor found = document()->find(needle, 0, QTextDocument::FindCaseSensitively);
    while (!found.isNull()) {
      found.insertText(QStringLiteral("?"));
      ++replaced;
      found = document()->find(needle, found, QTextDocument::FindCaseSensitively);
    }
  }
  block.endEditBlock();
  return replaced;
}

bool CRemarkaView::event(QEvent* event) {
  // The editor would take Ctrl+A (select all) and Ctrl+D (delete) for itself;
  // in this program they read the comment and break the reading.
  if (event->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const auto modifiers = key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (modifiers == Qt::ControlModifier && (key->key() == Qt::Key_A || key->key() == Qt::Key_D)) {
      event->ignore();
      return false;
    }
  }
  return QPlainTextEdit::event(event);
}

}  // namespace vokar::comment
