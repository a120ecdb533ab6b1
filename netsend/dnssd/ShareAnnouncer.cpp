#include "ShareAnnouncer.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>

#include <QTimer>

#include "QtAvahiPoll.h"

namespace vokar::dnssd {

CShareAnnouncer::CShareAnnouncer(std::uint16_t port, std::function<void(const std::string&)> log)
    : port_(port), log_(std::move(log)) {
  Connect();
}

void CShareAnnouncer::Connect() {
  int error = 0;
  // NO_FAIL: a daemon that is not running yet is waited for.
  client_ = avahi_client_new(QtAvahiPoll(), AVAHI_CLIENT_NO_FAIL,
                             [](AvahiClient* client, AvahiClientState state, void* self) {
                               OnClientState(client, static_cast<int>(state), self);
                             },
                             this, &error);
  if (client_ == nullptr && log_) log_(std::string("not announced with DNS-SD: ") + avahi_strerror(error));
}

CShareAnnouncer::~CShareAnnouncer() {
  // Freeing the client frees its groups too.
  if (client_ != nullptr) avahi_client_free(client_);
}

void CShareAnnouncer::OnClientState(AvahiClient* client, int state, void* self) {
  auto* announcer = static_cast<CShareAnnouncer*>(self);
  switch (static_cast<AvahiClientState>(state)) {
    case AVAHI_CLIENT_S_RUNNING:
      announcer->Publish(client);
      break;
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_S_REGISTERING:
      // The host's own name is being settled: the service follows once it is.
      if (announcer->group_ != nullptr) avahi_entry_group_reset(announcer->group_);
      announcer->announced_ = false;
      break;
    case AVAHI_CLIENT_CONNECTING:
      if (!announcer->toldNoDaemon_ && announcer->log_) {
        announcer->log_("no avahi-daemon yet: the share is announced when one starts");
      }
      announcer->toldNoDaemon_ = true;
      break;
    case AVAHI_CLIENT_FAILURE: {
      // The daemon went away: the client and its groups are gone with it, and
      // a new client waits for the daemon to come back.
      announcer->announced_ = false;
      announcer->group_ = nullptr;
      if (announcer->log_) announcer->log_(std::string("DNS-SD: ") + avahi_strerror(avahi_client_errno(client)));
      QTimer::singleShot(1000, announcer->context_.get(), [announcer] {
        if (announcer->client_ != nullptr) avahi_client_free(announcer->client_);
        announcer->client_ = nullptr;
        announcer->Connect();
      });
      break;
    }
  }
}

void CShareAnnouncer::Publish(AvahiClient* client) {
  if (group_ == nullptr) {
    group_ = avahi_entry_group_new(client,
                                   [](AvahiEntryGroup* group, AvahiEntryGroupState state, void* self) {
                                     OnGroupState(group, static_cast<int>(state), self);
                                   },
                                   this);
    if (group_ == nullptr) return;
  }
  if (!avahi_entry_group_is_empty(group_)) return;
  if (name_.empty()) {
    const char* host = avahi_client_get_host_name(client);
    name_ = host != nullptr ? host : "Vokar";
  }
  for (int attempt = 0; attempt < 10; ++attempt) {
    const int result = avahi_entry_group_add_service(group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                     static_cast<AvahiPublishFlags>(0), name_.c_str(),
                                                     kShareServiceType, nullptr, nullptr, port_, "share=VOKAR$",
                                                     nullptr);
    if (result == AVAHI_ERR_COLLISION) {
      char* other = avahi_alternative_service_name(name_.c_str());
      name_ = other;
      avahi_free(other);
      continue;
    }
    if (result < 0) {
      if (log_) log_(std::string("not announced with DNS-SD: ") + avahi_strerror(result));
      return;
    }
    avahi_entry_group_commit(group_);
    return;
  }
}

void CShareAnnouncer::OnGroupState(AvahiEntryGroup* group, int state, void* self) {
  auto* announcer = static_cast<CShareAnnouncer*>(self);
  switch (static_cast<AvahiEntryGroupState>(state)) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
      announcer->announced_ = true;
      if (announcer->log_) announcer->log_("announced as '" + announcer->name_ + "' with DNS-SD");
      break;
    case AVAHI_ENTRY_GROUP_COLLISION: {
      char* other = avahi_alternative_service_name(announcer->name_.c_str());
      announcer->name_ = other;
      avahi_free(other);
      avahi_entry_group_reset(group);
      announcer->Publish(avahi_entry_group_get_client(group));
      break;
    }
    case AVAHI_ENTRY_GROUP_FAILURE:
      announcer->announced_ = false;
      if (announcer->log_) {
        announcer->log_(std::string("DNS-SD announcement failed: ") +
                        avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(group))));
      }
      break;
    default:
      break;
  }
}

}  // namespace vokar::dnssd
