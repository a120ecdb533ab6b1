#include "RemarkaDoc.h"

#include <QCloseEvent>

#include "CommentPicture.h"

namespace vokar::comment {

void CRemarkaDoc::SetPath(const std::filesystem::path& path) {
  path_ = path;
  title_ = QString::fromStdString(path.filename().string());
}

CCommentFrame::CCommentFrame(Hooks hooks, QWidget* parent) : QMdiSubWindow(parent), hooks_(std::move(hooks)) {
  setAttribute(Qt::WA_DeleteOnClose);
  view_ = new CRemarkaView(this);
  setWidget(view_);
  setWindowIcon(QIcon(QPixmap::fromImage(RenderPicture())));
  setMinimumSize(160, 100);
}

bool CCommentFrame::IsModified() const { return view_->document()->isModified(); }

void CCommentFrame::SetModified(bool modified) { view_->document()->setModified(modified); }

void CCommentFrame::UpdateCaption() { setWindowTitle(doc_.title()); }

void CCommentFrame::closeEvent(QCloseEvent* event) {
  if (hooks_.canClose && !hooks_.canClose(*this)) {
    event->ignore();
    return;
  }
  QMdiSubWindow::closeEvent(event);
  if (event->isAccepted() && hooks_.closed) hooks_.closed(*this);
}

bool CCommentFrame::event(QEvent* event) {
  const bool handled = QMdiSubWindow::event(event);
  if ((event->type() == QEvent::Resize || event->type() == QEvent::WindowStateChange) && isVisible() &&
      !isMinimized() && hooks_.resized)
    hooks_.resized(*this);
  return handled;
}

}  // namespace vokar::comment
