#include "Controls.h"

namespace vokar::app {

QString ControlName(int id) { return QStringLiteral("control%1").arg(id); }

QString DialogName(int id) { return QStringLiteral("dialog%1").arg(id); }

QWidget* CControls::Find(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void CControls::Keep(int id, QWidget* widget) {
  widget->setObjectName(ControlName(id));
  controls_[id] = widget;
}

}  // namespace vokar::app
