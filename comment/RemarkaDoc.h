// One comment: the document (its file and title) and the child window that
// shows it with its edit view. The text itself lives in the view.
#pragma once

#include <QMdiSubWindow>

#include <filesystem>
#include <functional>

#include "RemarkaView.h"

namespace vokar::comment {

class CRemarkaDoc {
 public:
  const std::filesystem::path& path() const { return path_; }  // empty until saved or opened
  const QString& title() const { return title_; }
  void SetPath(const std::filesystem::path& path);
  void SetTitle(const QString& title) { title_ = title; }

 private:
  std::filesystem::path path_;
  QString title_;
};

class CCommentFrame : public QMdiSubWindow {
 public:
  struct Hooks {
    std::function<bool(CCommentFrame&)> canClose;     // asks to save; false keeps the window
    std::function<void(CCommentFrame&)> resized;      // shown normal or maximised by the user or the program
    std::function<void(CCommentFrame&)> closed;
  };

  CCommentFrame(Hooks hooks, QWidget* parent = nullptr);

  CRemarkaDoc& doc() { return doc_; }
  const CRemarkaDoc& doc() const { return doc_; }
  CRemarkaView& view() { return *view_; }
  const CRemarkaView& view() const { return *view_; }
  bool IsModified() const;
  void SetModified(bool modified);
  // The caption follows the document's title.
  void UpdateCaption();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  Hooks hooks_;
  CRemarkaDoc doc_;
  CRemarkaView* view_;
};

}  // namespace vokar::comment
