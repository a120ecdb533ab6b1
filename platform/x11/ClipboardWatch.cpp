#include "ClipboardWatch.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdlib>
#include <memory>

#include "X11Session.h"

// After Qt's headers: X11's define macros that Qt's would trip over.
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace vokar::x11 {
namespace {

// XFIXES SelectionNotify as the protocol lays it out (the first event of the
// extension, subtype 0: a new owner was set).
struct OwnerNotice {
  std::uint8_t responseType;
  std::uint8_t subtype;
  std::uint16_t sequence;
  std::uint32_t window;
  std::uint32_t owner;
  std::uint32_t selection;
  std::uint32_t timestamp;
  std::uint32_t selectionTimestamp;
};
constexpr std::uint8_t kSetSelectionOwner = 0;

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t ClipboardAtom(xcb_connection_t* connection) {
  static const char kClipboard[] = "CLIPBOARD";
  ReplyPtr<xcb_intern_atom_reply_t> atom(
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof kClipboard - 1, kClipboard), nullptr),
      &std::free);
  return atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t ClipboardOwner(xcb_connection_t* connection, xcb_atom_t clipboard) {
  ReplyPtr<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, clipboard), nullptr), &std::free);
  return owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
}

// The part of a resource id the X server chose for the client that made it:
// every window of one client has the same.
std::uint32_t ClientBase(xcb_connection_t* connection, std::uint32_t id) {
  return id & ~xcb_get_setup(connection)->resource_id_mask;
}

// Qt's own formats that stand for others and are not data of their own.
bool DerivedFormat(const QString& format) { return format == QStringLiteral("application/x-qt-image"); }

}  // namespace

bool FocusedClientOwnsClipboard() {
  xcb_connection_t* connection = Connection();
  if (connection == nullptr) return false;
  const xcb_atom_t clipboard = ClipboardAtom(connection);
  if (clipboard == XCB_ATOM_NONE) return false;
  ReplyPtr<xcb_get_input_focus_reply_t> focus(
      xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr), &std::free);
  // None (0) and PointerRoot (1) are no client's window.
  if (!focus || focus->focus <= XCB_INPUT_FOCUS_POINTER_ROOT) return false;
  const xcb_window_t owner = ClipboardOwner(connection, clipboard);
  if (owner == XCB_WINDOW_NONE) return false;
  return ClientBase(connection, owner) == ClientBase(connection, focus->focus);
}

bool TakeClipboardKeepingContent() {
  xcb_connection_t* connection = Connection();
  if (connection == nullptr) return false;
  QClipboard* clipboard = QGuiApplication::clipboard();
  auto copy = std::make_unique<QMimeData>();
  if (const QMimeData* current = clipboard->mimeData(QClipboard::Clipboard)) {
    for (const QString& format : current->formats()) {
      if (!DerivedFormat(format)) copy->setData(format, current->data(format));
    }
  }
  clipboard->setMimeData(copy.release(), QClipboard::Clipboard);
  // An id the server would give this program's next resource carries its
  // client's part.
  const std::uint32_t ours = ClientBase(connection, xcb_generate_id(connection));
  const xcb_window_t owner = ClipboardOwner(connection, ClipboardAtom(connection));
  return owner != XCB_WINDOW_NONE && ClientBase(connection, owner) == ours;
}

std::uint32_t NextRequestNumber() {
  Display* display = XlibDisplay();
  return display != nullptr ? static_cast<std::uint32_t>(XNextRequest(display)) : 0;
}

ClipboardWatch::~ClipboardWatch() {
  if (installed_ && QCoreApplication::instance() != nullptr) {
    QCoreApplication::instance()->removeNativeEventFilter(this);
  }
}

bool ClipboardWatch::Start(std::uint32_t firstRequest, std::function<void()> changed) {
  Stop();
  xcb_connection_t* connection = Connection();
  if (connection == nullptr) return false;
  if (xfixesEvent_ == 0) {
    static const char kXfixes[] = "XFIXES";
    ReplyPtr<xcb_query_extension_reply_t> xfixes(
        xcb_query_extension_reply(connection, xcb_query_extension(connection, sizeof kXfixes - 1, kXfixes), nullptr),
        &std::free);
    if (!xfixes || !xfixes->present) return false;
    xfixesEvent_ = xfixes->first_event;
    static const char kClipboard[] = "CLIPBOARD";
    ReplyPtr<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof kClipboard - 1, kClipboard), nullptr),
        &std::free);
    if (!atom) return false;
    clipboardAtom_ = atom->atom;
  }
  // Qt asks the server for the owner notices of the clipboard when it makes
  // its clipboard; make sure it has.
  (void)QGuiApplication::clipboard();
  if (!installed_) {
    QCoreApplication::instance()->installNativeEventFilter(this);
    installed_ = true;
  }
  firstSequence_ = static_cast<std::uint16_t>(firstRequest);
  changed_ = std::move(changed);
  watching_ = true;
  return true;
}

void ClipboardWatch::Stop() {
  watching_ = false;
  changed_ = nullptr;
}

bool ClipboardWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (!watching_ || eventType != "xcb_generic_event_t" || message == nullptr) return false;
  const auto* event = static_cast<const OwnerNotice*>(message);
  if ((event->responseType & 0x7f) != xfixesEvent_ || event->subtype != kSetSelectionOwner ||
      event->selection != clipboardAtom_) {
    return false;
  }
  // Sequence numbers are the low 16 bits of the request numbers: compare them
  // as a distance that may wrap.
  if (static_cast<std::uint16_t>(event->sequence - firstSequence_) >= 0x8000) return false;
  watching_ = false;
  auto callback = std::move(changed_);
  changed_ = nullptr;
  if (callback) callback();
  return false;  // Qt reads the same notice for its own clipboard
}

}  // namespace vokar::x11
