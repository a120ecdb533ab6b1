// The other process in the tests of named objects. It prints one line when it
// has done its part, so that the test knows when to go on:
//   hold-semaphore NAME            "created" or "existed", then waits to be killed
//   hold-event NAME 0|1            creates or opens the event in that initial
//                                  state, prints "created" or "opened", waits
//   wait-event NAME TIMEOUT_MS     prints "waiting", then "signaled" (exit 0)
//                                  or "timeout" (exit 1)
//   set-event NAME                 opens the event and sets it; "set" (exit 0)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "NamedObjects.h"

using namespace vokar::named;

namespace {

void Say(const char* word) {
  std::printf("%s\n", word);
  std::fflush(stdout);
}

int Fail(const Error& error) {
  std::fprintf(stderr, "%s\n", error.description.c_str());
  Say("error");
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string command = argv[1];
  const std::string name = argv[2];
  if (command == "hold-semaphore") {
    auto semaphore = NamedSemaphore::Create(name);
    if (!semaphore) return Fail(semaphore.error());
    Say(semaphore->AlreadyExisted() ? "existed" : "created");
    while (true) ::pause();
  }
  if (command == "hold-event" && argc == 4) {
    auto event = NamedEvent::CreateOrOpen(name, argv[3][0] == '1' ? InitialState::Signaled : InitialState::NotSignaled);
    if (!event) return Fail(event.error());
    Say(event->origin() == Origin::Created ? "created" : "opened");
    while (true) ::pause();
  }
  if (command == "wait-event" && argc == 4) {
    auto event = NamedEvent::CreateOrOpen(name, InitialState::NotSignaled);
    if (!event) return Fail(event.error());
    Say("waiting");
    const auto result = event->Wait(std::chrono::milliseconds(std::atoi(argv[3])));
    Say(result == WaitResult::Signaled ? "signaled" : "timeout");
    return result == WaitResult::Signaled ? 0 : 1;
  }
  if (command == "set-event") {
    auto event = NamedEvent::Open(name);
    if (!event) return Fail(event.error());
    if (!event->Set()) return 3;
    Say("set");
    return 0;
  }
  return 2;
}
