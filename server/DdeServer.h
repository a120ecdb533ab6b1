// The server's side of DDE: it answers the raw messages itself, in its main
// window, and keeps no conversation table. INITIATE is answered only for the
// server's own service and topic; POKE stores the text of item "text" (or of
// "sharetext", a text from another computer, from the network share's agent)
// when no job runs; EXECUTE looks for "read", "pause", "break" or "status" inside the
// command text; TERMINATE is answered in kind. Everything a client sends is
// checked before it is used: a malformed message is refused, never read, and
// a message from a program that does not own the window it names is ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "DdeMessages.h"
#include "ReadingJob.h"

namespace vokar::server {

// What the protocol reads and changes in the main window. Implemented by the
// window; every call is made on its thread.
class IDdeHost {
 public:
  virtual ~IDdeHost() = default;
  virtual bool JobRunning() const = 0;
  virtual bool Stopped() const = 0;
  virtual void SetStopped(bool stopped) = 0;
  // Stores poked text (code page 1250, at most the poke limit) in the text
  // buffer, with where it came from.
  virtual void StoreText(std::string_view text, TextOrigin origin) = 0;
  // Queues the reading job on the text buffer.
  virtual void PostReadText() = 0;
  // The break command of a running job.
  virtual void Break() = 0;
};

// How the answers leave, and whose windows they go to; the bus in the
// server, a recorder in the tests and the fuzz target.
class IDdeReplies {
 public:
  virtual ~IDdeReplies() = default;
  // True when the message comes from the program that owns the window it
  // names as the client (or, for TERMINATE, as the sender). Anything else is
  // another program speaking in someone else's conversation, and is ignored.
  virtual bool SentByOwnerOf(const desktop::Message& message, dde::WindowHandle window) const = 0;
  virtual bool SendInitiateAck(dde::WindowHandle client, const dde::InitiateAck& ack) = 0;
  virtual bool PostTransactionAck(dde::WindowHandle client, const dde::TransactionAck& ack) = 0;
  virtual bool PostTerminate(dde::WindowHandle partner, const dde::Terminate& terminate) = 0;
};

// The replies over the desktop bus.
class CBusDdeReplies final : public IDdeReplies {
 public:
  bool SentByOwnerOf(const desktop::Message& message, dde::WindowHandle window) const override;
  bool SendInitiateAck(dde::WindowHandle client, const dde::InitiateAck& ack) override;
  bool PostTransactionAck(dde::WindowHandle client, const dde::TransactionAck& ack) override;
  bool PostTerminate(dde::WindowHandle partner, const dde::Terminate& terminate) override;
};

// The commands an execute text is searched for, in this order.
enum class ExecuteCommand { Read, Pause, Break, Status, Other };
ExecuteCommand ClassifyExecute(std::string_view command);

class CDdeServer {
 public:
  // service: the executable's base name ("vokar"); clients ask for "Vokar".
  CDdeServer(IDdeHost& host, IDdeReplies& replies, dde::WindowHandle self, std::string service);

  // Handles one of the four DDE messages the server answers; any other
  // message is left alone. Returns the result for a synchronous sender (0).
  std::int64_t Handle(const desktop::Message& message);

  const std::string& service() const { return service_; }

 private:
  void OnInitiate(const desktop::Message& message);
  void OnPoke(const desktop::Message& message);
  void OnExecute(const desktop::Message& message);
  void OnTerminate(const desktop::Message& message);

  IDdeHost& host_;
  IDdeReplies& replies_;
  dde::WindowHandle self_;
  std::string service_;
};

}  // namespace vokar::server
