// A queue of short texts waiting to be spoken (key names in echo mode, the
// special sounds): at most six, the oldest dropped when a seventh comes, all
// of them sent as one utterance, each followed by a short pause, and kept
// until the server takes them, so that a fast typist hears the last six keys
// once the server is free rather than a growing backlog.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "KlavoHost.h"

namespace vokar::keyboard {

class KeyNameTable;

class SpokenItemQueue {
 public:
  static constexpr std::size_t kMaxItems = 6;
  // Sent after every item.
  static constexpr const char* kPause = "\\Alf=(p010)\\";

  struct Item {
    std::string text;
    bool sent = false;
  };

  void Add(std::string text);
  // Adds the key type's name; types outside 1-216 are passed over.
  void AddKey(int type, const KeyNameTable& names);

  // Speaks every item in one utterance: 1 while another flush of this queue
  // waits for the server, 0 when the queue is empty, else the speech result.
  // Items the server took go; items added meanwhile stay; a refused flush
  // keeps everything for the next try.
  int Flush(IKlavoHost& host);

  bool empty() const { return items_.empty(); }
  std::size_t size() const { return items_.size(); }
  const std::deque<Item>& items() const { return items_; }
  bool busy() const { return busy_; }

 private:
  std::deque<Item> items_;
  bool busy_ = false;
};

}  // namespace vokar::keyboard
