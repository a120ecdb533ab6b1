#include "SpokenItemQueue.h"

#include "KeyNames.h"

namespace vokar::keyboard {

void SpokenItemQueue::Add(std::string text) {
  items_.push_back({std::move(text), false});
  while (items_.size() > kMaxItems) items_.pop_front();
}

void SpokenItemQueue::AddKey(int type, const KeyNameTable& names) {
  if (type < 1 || type >= kKeyTypes) return;
  Add(names.Text(type));
}

int SpokenItemQueue::Flush(IKlavoHost& host) {
  if (busy_) return 1;
  if (items_.empty()) return 0;
  busy_ = true;
  std::string utterance;
  for (Item& item : items_) {
    utterance += item.text;
    utterance += kPause;
    item.sent = true;
  }
  // Speak runs the message loop: keys that come meanwhile are added, and
  // the oldest items may be dropped, so nothing of the queue is held across
  // it; the items sent are the ones still marked at the front.
  const int result = host.Speak(utterance, Interrupt::No);
  if (result == 0) {
    while (!items_.empty() && items_.front().sent) items_.pop_front();
  }
  busy_ = false;
  return result;
}

}  // namespace vokar::keyboard
