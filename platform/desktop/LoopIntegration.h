// How another event loop (Qt's) carries the desktop bus: the bus names the
// descriptors it needs watched, the loop reports them ready, and the bus asks
// the loop for one pass when a program waits with its messages flowing.
// Contracts: the integration implements Watch, Unwatch and RunOnce; the bus
// provides OnDescriptorReady.
#pragma once

#include "DesktopTypes.h"

namespace vokar::desktop {

class LoopIntegration {
 public:
  virtual ~LoopIntegration() = default;

  enum class Interest { Read, ReadWrite, Write };

  // Must call OnDescriptorReady(fd) whenever fd is readable (Read,
  // ReadWrite) or writable (ReadWrite, Write). Called again for the same fd
  // when the interest changes; a connection the bus does not read for a
  // while (its peer has sent more than it may) is watched for Write only.
  virtual void Watch(int fd, Interest interest) = 0;
  virtual void Unwatch(int fd) = 0;

  // One pass of the program's whole loop: waits until something arrives or
  // the deadline passes, and handles what arrived.
  virtual void RunOnce(Clock::time_point deadline) = 0;
};

// Hands the bus to an integration (nullptr: back to the bus's own poll loop).
// Every descriptor the bus already holds is announced to it at once.
void SetLoopIntegration(LoopIntegration* integration);

// Provided by the bus for the integration: reads or writes fd as far as it
// can without blocking, then handles every message that is due.
void OnDescriptorReady(int fd);

}  // namespace vokar::desktop
