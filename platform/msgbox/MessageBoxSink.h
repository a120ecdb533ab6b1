// The engine's message sink shown as message boxes: each engine message
// becomes an OK box with the program's caption ("Vokar" unless told
// otherwise) and the matching icon.
#pragma once

#include <string>

#include "Messages.h"

class QWidget;

namespace vokar::msgbox {

class MessageBoxSink final : public IMessageSink {
 public:
  explicit MessageBoxSink(std::string caption = "Vokar", QWidget* parent = nullptr)
      : caption_(std::move(caption)), parent_(parent) {}

  void ShowMessage(std::string_view utf8Text, MessageIcon icon) override;

 private:
  std::string caption_;
  QWidget* parent_;
};

}  // namespace vokar::msgbox
