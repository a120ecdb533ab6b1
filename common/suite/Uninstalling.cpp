#include "Uninstalling.h"

#include "NamedObjects.h"

namespace vokar::suite {
namespace {

constexpr std::string_view kEventName = "Vokar_Uninstalling";

}  // namespace

struct UninstallRun::Held {
  named::NamedEvent event;
};

UninstallRun::UninstallRun(std::unique_ptr<Held> held) : held_(std::move(held)) {}
UninstallRun::~UninstallRun() = default;

std::unique_ptr<UninstallRun> UninstallRun::Begin(std::string& problem) {
  auto event = named::NamedEvent::CreateOrOpen(kEventName, named::InitialState::Signaled);
  if (!event) {
    problem = event.error().description;
    return nullptr;
  }
  // Someone may hold it open unset (a program that looked a moment ago).
  if (!event->Set()) {
    problem = "the event " + std::string(kEventName) + " cannot be set";
    return nullptr;
  }
  return std::unique_ptr<UninstallRun>(new UninstallRun(std::make_unique<Held>(Held{std::move(event.value())})));
}

bool UninstallerRuns() {
  // Only an event some process holds opens; the uninstaller keeps it set.
  auto event = named::NamedEvent::Open(kEventName);
  return event && event->IsSet();
}

}  // namespace vokar::suite
