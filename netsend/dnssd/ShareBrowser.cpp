#include "ShareBrowser.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>

#include <algorithm>

#include "QtAvahiPoll.h"
#include "ShareAnnouncer.h"

namespace vokar::dnssd {

struct CShareBrowser::Callbacks {
  static void Client(AvahiClient* client, AvahiClientState state, void* self) {
    auto* browser = static_cast<CShareBrowser*>(self);
    if (state == AVAHI_CLIENT_FAILURE) {
      browser->state_ = State::NoDaemon;
      browser->error_ = avahi_strerror(avahi_client_errno(client));
      browser->Changed();
    }
  }

  static void Browse(AvahiServiceBrowser* b, AvahiIfIndex interface, AvahiProtocol protocol,
                     AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                     AvahiLookupResultFlags, void* self) {
    auto* browser = static_cast<CShareBrowser*>(self);
    switch (event) {
      case AVAHI_BROWSER_NEW:
        // The address is asked for as IPv4, which every sender can reach
        // without naming an interface. The resolver frees itself when done.
        avahi_service_resolver_new(avahi_service_browser_get_client(b), interface, protocol, name, type, domain,
                                   AVAHI_PROTO_INET, static_cast<AvahiLookupFlags>(0), Resolved, self);
        break;
      case AVAHI_BROWSER_REMOVE: {
        auto& hosts = browser->hosts_;
        const auto gone = std::remove_if(hosts.begin(), hosts.end(), [&](const ShareHost& h) { return h.name == name; });
        if (gone != hosts.end()) {
          hosts.erase(gone, hosts.end());
          browser->Changed();
        }
        break;
      }
      case AVAHI_BROWSER_ALL_FOR_NOW:
        if (browser->state_ == State::Searching) {
          browser->state_ = State::Complete;
          browser->Changed();
        }
        break;
      case AVAHI_BROWSER_FAILURE:
        browser->state_ = State::NoDaemon;
        browser->error_ = avahi_strerror(avahi_client_errno(avahi_service_browser_get_client(b)));
        browser->Changed();
        break;
      case AVAHI_BROWSER_CACHE_EXHAUSTED:
        break;
    }
  }

  static void Resolved(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
                       const char* name, const char*, const char*, const char* hostName, const AvahiAddress* address,
                       uint16_t port, AvahiStringList*, AvahiLookupResultFlags, void* self) {
    auto* browser = static_cast<CShareBrowser*>(self);
    if (event == AVAHI_RESOLVER_FOUND && address != nullptr && name != nullptr) {
      char text[AVAHI_ADDRESS_STR_MAX] = {};
      avahi_address_snprint(text, sizeof text, address);
      ShareHost host{name, hostName != nullptr ? hostName : "", text, port};
      auto& hosts = browser->hosts_;
      auto same = std::find_if(hosts.begin(), hosts.end(), [&](const ShareHost& h) { return h.name == host.name; });
      if (same == hosts.end()) {
        hosts.push_back(std::move(host));
      } else {
        *same = std::move(host);
      }
      browser->Changed();
    }
    avahi_service_resolver_free(resolver);
  }
};

CShareBrowser::CShareBrowser(std::function<void()> onChange) : onChange_(std::move(onChange)) {
  int error = 0;
  client_ = avahi_client_new(QtAvahiPoll(), static_cast<AvahiClientFlags>(0), Callbacks::Client, this, &error);
  if (client_ == nullptr) {
    state_ = State::NoDaemon;
    error_ = avahi_strerror(error);
    return;
  }
  browser_ = avahi_service_browser_new(client_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, kShareServiceType, nullptr,
                                       static_cast<AvahiLookupFlags>(0), Callbacks::Browse, this);
  if (browser_ == nullptr) {
    state_ = State::NoDaemon;
    error_ = avahi_strerror(avahi_client_errno(client_));
  }
}

CShareBrowser::~CShareBrowser() {
  onChange_ = nullptr;
  // The client frees its browser and any resolver still working.
  if (client_ != nullptr) avahi_client_free(client_);
}

void CShareBrowser::Changed() {
  if (onChange_) onChange_();
}

}  // namespace vokar::dnssd
