// Finds the computers that announce the share "VOKAR$" with DNS-SD through
// the avahi-daemon and keeps their list up to date: each with its service
// name, host name, IPv4 address and port. Changes are reported from Qt's
// event loop.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct AvahiClient;
struct AvahiServiceBrowser;

namespace vokar::dnssd {

struct ShareHost {
  std::string name;     // the announced service name (the host's name)
  std::string host;     // the host name, "ala.local"
  std::string address;  // "192.168.1.5"
  std::uint16_t port = 0;
};

class CShareBrowser {
 public:
  enum class State {
    Searching,  // the daemon answers, the list is growing
    Complete,   // everything the network had at first is in the list
    NoDaemon,   // no avahi-daemon: nothing can be found
  };

  // onChange is called after every change of the list or the state.
  explicit CShareBrowser(std::function<void()> onChange);
  ~CShareBrowser();
  CShareBrowser(const CShareBrowser&) = delete;
  CShareBrowser& operator=(const CShareBrowser&) = delete;

  State state() const { return state_; }
  // The hosts found, in the order they were found, one per service name.
  const std::vector<ShareHost>& hosts() const { return hosts_; }
  // What went wrong, for a state of NoDaemon.
  const std::string& error() const { return error_; }

 private:
  struct Callbacks;
  void Changed();

  std::function<void()> onChange_;
  AvahiClient* client_ = nullptr;
  AvahiServiceBrowser* browser_ = nullptr;
  State state_ = State::Searching;
  std::vector<ShareHost> hosts_;
  std::string error_;
};

}  // namespace vokar::dnssd
