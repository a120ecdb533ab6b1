// An agent that follows a script, for the tests of the sender's client: it
// greets, lets in, takes INITIATE, and answers each POKE and EXECUTE as the
// test says (a status word, nothing at all, a late answer or TERMINATE), in
// the test's own Qt event loop on a loopback port. What it received is kept.
#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Wire.h"

namespace vokar::nettest {

class FakeAgent {
 public:
  enum class Reply { Status, Silence, Terminate };
  struct Answer {
    Reply reply = Reply::Status;
    std::uint16_t status = 0x8000;
    int delayMs = 0;
  };

  FakeAgent() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) Accept(socket);
    });
  }

  std::string Computer() const { return "127.0.0.1:" + std::to_string(server_.serverPort()); }

  // How the next transactions are answered, in turn; when the script is used
  // up every transaction is answered positively.
  void Script(std::vector<Answer> answers) { script_.assign(answers.begin(), answers.end()); }
  void AcceptInitiate(bool accept) { acceptInitiate_ = accept; }
  // Answers the key with this refusal instead of letting the peer in.
  void RefuseWith(std::optional<netdde::RefusedReason> reason) { refuse_ = reason; }
  // Asks for a key in its greeting.
  void RequireKey(bool required) { keyRequired_ = required; }

  // "POKE text" or "EXECUTE command" per transaction, with the text as sent
  // (its NUL removed), and "INITIATE service|topic", "TERMINATE".
  const std::vector<std::string>& received() const { return received_; }
  int connections() const { return connections_; }

 private:
  void Accept(QTcpSocket* socket) {
    ++connections_;
    auto* reader = new netdde::FrameReader;
    QObject::connect(socket, &QObject::destroyed, [reader] { delete reader; });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, reader] {
      const QByteArray bytes = socket->readAll();
      reader->Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
      std::string body;
      while (reader->Next(body) == netdde::FrameReader::Status::Frame) {
        auto decoded = netdde::Decode(body);
        if (decoded) Handle(socket, *decoded.frame);
      }
    });
    netdde::Hello hello;
    hello.keyRequired = keyRequired_;
    Send(socket, hello);
  }

  static void Send(QTcpSocket* socket, const netdde::Frame& frame) {
    const auto bytes = netdde::Encode(frame);
    socket->write(bytes->data(), static_cast<qint64>(bytes->size()));
  }

  void Handle(QTcpSocket* socket, const netdde::Frame& frame) {
    if (std::holds_alternative<netdde::Auth>(frame)) {
      if (refuse_) {
        Send(socket, netdde::Refused{*refuse_, "as scripted"});
        socket->disconnectFromHost();
        return;
      }
      Send(socket, netdde::Welcome{});
    } else if (const auto* initiate = std::get_if<netdde::Initiate>(&frame)) {
      received_.push_back("INITIATE " + initiate->application + "|" + initiate->topic);
      Send(socket, netdde::InitiateAck{acceptInitiate_, initiate->application, initiate->topic});
    } else if (std::holds_alternative<netdde::Terminate>(frame)) {
      received_.push_back("TERMINATE");
      Send(socket, netdde::Terminate{});
    } else {
      std::uint32_t handle = 0;
      if (const auto* poke = std::get_if<netdde::Poke>(&frame)) {
        handle = poke->handle;
        received_.push_back("POKE " + poke->data.substr(0, poke->data.find('\0')));
      } else if (const auto* execute = std::get_if<netdde::Execute>(&frame)) {
        handle = execute->handle;
        received_.push_back("EXECUTE " + execute->command.substr(0, execute->command.find('\0')));
      } else {
        return;
      }
      Answer answer;
      if (!script_.empty()) {
        answer = script_.front();
        script_.pop_front();
      }
      const auto reply = [socket, handle, answer] {
        if (answer.reply == Reply::Status) Send(socket, netdde::Ack{handle, answer.status});
        if (answer.reply == Reply::Terminate) Send(socket, netdde::Terminate{});
      };
      if (answer.delayMs > 0) {
        QTimer::singleShot(answer.delayMs, socket, reply);
      } else {
        reply();
      }
    }
  }

  QTcpServer server_;
  std::deque<Answer> script_;
  bool acceptInitiate_ = true;
  std::optional<netdde::RefusedReason> refuse_;
  bool keyRequired_ = false;
  std::vector<std::string> received_;
  int connections_ = 0;
};

}  // namespace vokar::nettest
