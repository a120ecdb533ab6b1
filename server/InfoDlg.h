// The "Info..." dialog: the program's icon, its name and version, what it is.
#pragma once

#include <QDialog>

namespace vokar::server {

class CInfoDlg final : public QDialog {
 public:
  explicit CInfoDlg(QWidget* parent);
};

}  // namespace vokar::server
