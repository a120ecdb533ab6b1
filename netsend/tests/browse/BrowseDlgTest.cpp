// The browse dialog without an avahi-daemon: it says that computers cannot be
// searched for, and the user can still type a name; the contract's results
// (0 with the name, -1 cancelled, anything else failed) and the buffer's size.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <cstring>

#include "BrowseDlg.h"
#include "ClientTestSupport.h"

namespace {

using namespace vokar::netsend;
using vokar::testing::ClientWorld;

class Browse : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.Set("QT_QPA_PLATFORM", "offscreen");
    // A system bus that is not there: no daemon can be asked.
    world_.Set("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (world_.folder() / "no-bus").string());
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

  // Runs the dialog; while it is open, act does what the user does.
  int Run(char* buffer, int size, std::function<void(CBrowseDlg&)> act) {
    QTimer::singleShot(50, [act] {
      if (auto* dialog = dynamic_cast<CBrowseDlg*>(QApplication::activeModalWidget())) act(*dialog);
    });
    return ServerBrowseDialog(nullptr, buffer, size);
  }

  ClientWorld world_;
  int argc_ = 1;
  char name_[6] = "sievo";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

TEST_F(Browse, WithoutADaemonItSaysSoAndANameCanBeTyped) {
  CBrowseDlg dialog(nullptr, 254);
  EXPECT_EQ(dialog.list()->count(), 0);
  EXPECT_EQ(dialog.status()->text(),
            QString::fromUtf8("Komputerów nie można wyszukać: usługa avahi-daemon nie działa. Wpisz nazwę komputera."));
  EXPECT_FALSE(dialog.status()->toolTip().isEmpty());
  auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
  EXPECT_FALSE(ok->isEnabled());
  dialog.nameEdit()->setText(QStringLiteral("  ala.local "));
  EXPECT_TRUE(ok->isEnabled());
  EXPECT_EQ(dialog.chosen(), QStringLiteral("ala.local"));
  dialog.nameEdit()->setText(QStringLiteral("   "));
  EXPECT_FALSE(ok->isEnabled());
}

TEST_F(Browse, TheResultsOfTheContract) {
  char buffer[255];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(Run(buffer, 255,
                [](CBrowseDlg& d) {
                  d.nameEdit()->setText(QStringLiteral("192.168.1.5:7050"));
                  d.accept();
                }),
            kBrowseChosen);
  EXPECT_STREQ(buffer, "192.168.1.5:7050");

  std::strcpy(buffer, "bez zmian");
  EXPECT_EQ(Run(buffer, 255, [](CBrowseDlg& d) { d.reject(); }), kBrowseCancelled);
  EXPECT_STREQ(buffer, "bez zmian");

  // A name fills the buffer but for its NUL: 254 characters in 255 bytes.
  EXPECT_EQ(Run(buffer, 255,
                [](CBrowseDlg& d) {
                  d.nameEdit()->setText(QString(300, QChar('n')));
                  d.accept();
                }),
            kBrowseChosen);
  EXPECT_EQ(std::strlen(buffer), 254u);
  char small[5];
  EXPECT_EQ(Run(small, 5,
                [](CBrowseDlg& d) {
                  d.nameEdit()->setText(QStringLiteral("abcdefgh"));
                  d.accept();
                }),
            kBrowseChosen);
  EXPECT_STREQ(small, "abcd");

  // No room for any name: a failure, without a dialog.
  EXPECT_NE(ServerBrowseDialog(nullptr, small, 1), kBrowseChosen);
  EXPECT_NE(ServerBrowseDialog(nullptr, small, 1), kBrowseCancelled);
  EXPECT_NE(ServerBrowseDialog(nullptr, nullptr, 255), kBrowseChosen);
}

}  // namespace
