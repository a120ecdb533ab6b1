// The computer-browse dialog the sender calls from "Przeglądaj...": it lists
// the computers that announce the share "VOKAR$" (DNS-SD through the
// avahi-daemon) and lets the user pick one or type a name. The contract is
// the one the sender has always relied on: 0 when a computer was chosen (its
// name, NUL-terminated, in the buffer, ready to be followed by "\NDDE$\"),
// -1 when the user cancelled, anything else a failure.
#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vokar::dnssd {
class CShareBrowser;
}

namespace vokar::netsend {

inline constexpr int kBrowseChosen = 0;
inline constexpr int kBrowseCancelled = -1;
inline constexpr int kBrowseFailed = 1;

// Runs the dialog modally over owner. A buffer of fewer than 2 bytes fails
// (there is no room for a name); a name is at most size - 1 bytes.
int ServerBrowseDialog(QWidget* owner, char* buffer, int size);

class CBrowseDlg final : public QDialog {
 public:
  CBrowseDlg(QWidget* parent, int maxName);
  ~CBrowseDlg() override;

  // The computer as it goes into the sender's field.
  QString chosen() const;

  // For the tests: the list's lines and the status line.
  QListWidget* list() const { return list_; }
  QLabel* status() const { return status_; }
  QLineEdit* nameEdit() const { return name_; }

 private:
  void Refresh();

  QListWidget* list_ = nullptr;
  QLabel* status_ = nullptr;
  QLineEdit* name_ = nullptr;
  QPushButton* ok_ = nullptr;
  std::unique_ptr<dnssd::CShareBrowser> browser_;
};

}  // namespace vokar::netsend
