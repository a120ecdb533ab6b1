// Any bytes as a comment file: reading never fails other than by its error
// values, and what it reads converts to the editor's text and back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "AnnFile.h"
#include "CommentText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vokar::comment;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const AnnRead read = ParseAnn(bytes);
  (void)DescribeAnnError(read);
  if (!read.ok()) return 0;
  if (read.text.size() > kMaxCommentBytes || read.text.size() + kLengthFieldSize > size) std::abort();
  if (EncodeAnn(read.text) != bytes.substr(0, kLengthFieldSize + read.text.size())) std::abort();
  // The editor's form of the text: everything but line breaks comes back as it was.
  const FileText back = ToFileText(ToEditorText(read.text));
  if (!back.lossless()) std::abort();
  // Text the editor produces is read by the editor unchanged.
  const FileText fromEditor = ToFileText(bytes);
  if (ToFileText(ToEditorText(fromEditor.cp1250)).cp1250 != fromEditor.cp1250) std::abort();
  return 0;
}
