// The bookkeeping of a DDE management library, whatever carries its
// conversations: instances with their last error, string handles and the flag
// of a waiting transaction; conversations numbered and found by handle; the
// numbers of data handles. The desktop's library (Ddeml.cpp) carries its
// conversations on the desktop bus, the network client (NetDdeClient.cpp)
// over TCP to another computer's agent; both keep their books here, so that
// handles, string rules and last errors behave the same in both.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Ddeml.h"

namespace vokar::dde {

// What every instance holds; a library derives the state of its instances
// from it.
struct DdeInstanceBase {
  std::uint32_t lastError = DMLERR_NO_ERROR;
  std::map<std::uint32_t, std::string> strings;
  bool inTransaction = false;
};

// What every conversation holds: the instance it belongs to.
struct DdeConversationBase {
  DdeInstance instance = 0;
};

template <class Instance, class ConversationState>
class CDdeBook {
 public:
  DdeInstance AddInstance(Instance state = {}) {
    const DdeInstance id = nextInstance_++;
    instances_.emplace(id, std::move(state));
    return id;
  }
  Instance* FindInstance(DdeInstance id) {
    auto it = instances_.find(id);
    return it == instances_.end() ? nullptr : &it->second;
  }
  // Ends every conversation of the instance with end(handle), then forgets
  // the instance; false for an unknown one.
  template <class End>
  bool RemoveInstance(DdeInstance instance, End end) {
    if (FindInstance(instance) == nullptr) return false;
    std::vector<std::uint32_t> owned;
    for (const auto& [id, conversation] : conversations_) {
      if (conversation->instance == instance) owned.push_back(id);
    }
    for (const auto id : owned) end(Conversation{id});
    instances_.erase(instance);
    return true;
  }
  std::map<DdeInstance, Instance>& instances() { return instances_; }

  // A handle for the text, at most maxLength bytes and without NUL; 0 (and
  // DMLERR_INVALIDPARAMETER for a known instance) otherwise.
  StringHandle CreateStringHandle(DdeInstance instance, std::string_view text, std::size_t maxLength) {
    Instance* state = FindInstance(instance);
    if (state == nullptr) return {};
    if (text.size() > maxLength || text.find('\0') != std::string_view::npos) {
      state->lastError = DMLERR_INVALIDPARAMETER;
      return {};
    }
    const std::uint32_t id = nextString_++;
    state->strings[id] = std::string(text);
    return StringHandle{id};
  }
  bool FreeStringHandle(DdeInstance instance, StringHandle handle) {
    Instance* state = FindInstance(instance);
    return state != nullptr && state->strings.erase(handle.value) == 1;
  }
  std::string QueryString(DdeInstance instance, StringHandle handle) {
    const Instance* state = FindInstance(instance);
    if (state == nullptr) return {};
    auto it = state->strings.find(handle.value);
    return it == state->strings.end() ? std::string() : it->second;
  }

  // The instance's last error, which is reset; DMLERR_DLL_NOT_INITIALIZED for
  // an unknown instance.
  std::uint32_t TakeLastError(DdeInstance instance) {
    Instance* state = FindInstance(instance);
    if (state == nullptr) return DMLERR_DLL_NOT_INITIALIZED;
    const std::uint32_t error = state->lastError;
    state->lastError = DMLERR_NO_ERROR;
    return error;
  }
  // For a failure that names no instance (conversation 0): every instance of
  // the program learns of it.
  void SetErrorEverywhere(std::uint32_t error) {
    for (auto& [id, instance] : instances_) instance.lastError = error;
  }

  // The number the next conversation will have.
  std::uint32_t NewConversationId() { return nextConversation_++; }
  void AddConversation(std::uint32_t id, std::unique_ptr<ConversationState> conversation) {
    conversations_[id] = std::move(conversation);
  }
  ConversationState* FindConversation(std::uint32_t id) {
    auto it = conversations_.find(id);
    return it == conversations_.end() ? nullptr : it->second.get();
  }
  void RemoveConversation(std::uint32_t id) { conversations_.erase(id); }

  // A data handle for one transaction, never 0.
  std::uint32_t NewDataHandle() {
    std::uint32_t handle = nextDataHandle_++;
    if (handle == 0) handle = nextDataHandle_++;
    return handle;
  }

 private:
  std::map<DdeInstance, Instance> instances_;
  std::map<std::uint32_t, std::unique_ptr<ConversationState>> conversations_;
  std::uint32_t nextInstance_ = 1;
  std::uint32_t nextString_ = 1;
  std::uint32_t nextConversation_ = 1;
  std::uint32_t nextDataHandle_ = 1;
};

}  // namespace vokar::dde
