#include "ActiveAppCapture.h"

#include <array>

#include "MessageBox.h"
#include "VirtualKeys.h"

namespace vokar::hotkey {
namespace {

namespace vk = x11::vk;
using x11::PlaybackKey;

constexpr bool kDown = true;
constexpr bool kUp = false;

constexpr std::array<PlaybackKey, 21> kScript{{
    {kUp, vk::kShift},     {kUp, vk::kControl},   {kUp, vk::kMenu},                           // let go of the hot key
    {kDown, vk::kControl}, {kDown, vk::kHome},    {kUp, vk::kHome},    {kUp, vk::kControl},   // to the start
    {kDown, vk::kControl}, {kDown, vk::kShift},   {kDown, vk::kEnd},   {kUp, vk::kEnd},
    {kUp, vk::kShift},     {kUp, vk::kControl},                                               // select to the end
    {kDown, vk::kControl}, {kDown, vk::kInsert},  {kUp, vk::kInsert},  {kUp, vk::kControl},   // copy
    {kDown, vk::kControl}, {kDown, vk::kHome},    {kUp, vk::kHome},    {kUp, vk::kControl},   // back, unselected
}};

}  // namespace

ActiveAppCapture::ActiveAppCapture(std::function<void(bool copied)> finished, QObject* parent)
    : QObject(parent), finished_(std::move(finished)) {
  wait_.setSingleShot(true);
  wait_.setInterval(kCopyWaitMs);
  connect(&wait_, &QTimer::timeout, this, [this] { Finish(false); });
}

ActiveAppCapture::~ActiveAppCapture() { Cancel(); }

std::span<const PlaybackKey> ActiveAppCapture::Script() { return kScript; }

int ActiveAppCapture::Start() {
  Cancel();
  if (!x11::PlaybackAvailable()) {
    msgbox::ShowMessageBox("UWAGA", "JournalPlayback nie zainstalował się.", msgbox::Icon::None, msgbox::Buttons::Ok);
    return 0;
  }
  active_ = true;
  // An application that owns the clipboard may copy without setting a new
  // owner, which would bring no notice: the clipboard is taken from it first,
  // with what it holds, so that its copy sets one.
  if (x11::FocusedClientOwnsClipboard()) x11::TakeClipboardKeepingContent();
  // Listen before the keys go out: a quick application may copy at once.
  clipboard_.Start(x11::NextRequestNumber(), [this] {
    QMetaObject::invokeMethod(this, [this] { Finish(true); }, Qt::QueuedConnection);
  });
  wait_.start();
  x11::PlayKeys(Script());
  return 1;
}

void ActiveAppCapture::Cancel() {
  if (!active_) return;
  active_ = false;
  wait_.stop();
  clipboard_.Stop();
}

void ActiveAppCapture::Finish(bool copied) {
  if (!active_) return;
  Cancel();
  if (finished_) finished_(copied);
}

}  // namespace vokar::hotkey
