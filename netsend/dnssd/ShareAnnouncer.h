// Announces the share "VOKAR$" of this computer with DNS-SD through the
// avahi-daemon: service type "_vokar-netdde._tcp", named after the host, on
// the agent's port. Without a daemon the agent runs unannounced and the
// announcement comes as soon as a daemon appears.
#pragma once

#include <cstdint>
#include <QObject>

#include <functional>
#include <memory>
#include <string>

struct AvahiClient;
struct AvahiEntryGroup;

namespace vokar::dnssd {

inline constexpr const char* kShareServiceType = "_vokar-netdde._tcp";

class CShareAnnouncer {
 public:
  // log hears, briefly, when the announcement is made or fails.
  CShareAnnouncer(std::uint16_t port, std::function<void(const std::string&)> log);
  ~CShareAnnouncer();
  CShareAnnouncer(const CShareAnnouncer&) = delete;
  CShareAnnouncer& operator=(const CShareAnnouncer&) = delete;

  // True once the daemon has confirmed the announcement.
  bool Announced() const { return announced_; }
  const std::string& name() const { return name_; }

 private:
  static void OnClientState(AvahiClient* client, int state, void* self);
  static void OnGroupState(AvahiEntryGroup* group, int state, void* self);
  void Publish(AvahiClient* client);
  void Connect();

  std::uint16_t port_;
  std::function<void(const std::string&)> log_;
  AvahiClient* client_ = nullptr;
  AvahiEntryGroup* group_ = nullptr;
  std::string name_;
  bool announced_ = false;
  bool toldNoDaemon_ = false;
  // The context of timers that reconnect after the daemon went away.
  std::unique_ptr<QObject> context_ = std::make_unique<QObject>();
};

}  // namespace vokar::dnssd
