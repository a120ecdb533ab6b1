// The messages of a file that a user or another program named and that
// cannot be opened or read.
#include <gtest/gtest.h>

#include "NamedFile.h"

namespace {

using vokar::app::FileErrorMessage;
using vokar::files::FileError;

TEST(NamedFile, EachCauseHasItsTextAndResource) {
  struct Case {
    FileError error;
    int id;
    const char* text;
    const char* prefix;
  };
  const char* open = "Błąd otwarcia pliku: ";
  const char* read = "Błąd przetwarzania pliku: ";
  const Case cases[] = {
      {FileError::NotFound, 4911, "Plik nie został znaleziony", open},
      {FileError::BadPath, 4912, "Błędna ścieżka dostępu", open},
      {FileError::TooManyOpenFiles, 4913, "Zbyt wiele otwartych plików", open},
      {FileError::AccessDenied, 4914, "Zabroniony dostęp do pliku", open},
      {FileError::InvalidHandle, 4915, "Użycie błędnego handlera pliku", read},
      {FileError::BadSeek, 4916, "Błąd ustawienia wskaźnika pliku", read},
      {FileError::HardwareError, 4917, "Błąd sprzętowy", read},
      {FileError::SharingViolation, 4918, "Naruszenie obszaru współdzielonego", open},
      {FileError::LockViolation, 4919, "Próba zablokowania obszaru już zablokowanego", read},
      {FileError::EndOfFile, 4920, "Osiągnięto koniec pliku", read},
      {FileError::Other, 0, "", open},
      {FileError::None, 0, "", open},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vokar::app::FileCauseId(c.error), c.id) << c.text;
    EXPECT_EQ(vokar::app::FileCauseText(c.error), c.text);
    EXPECT_EQ(FileErrorMessage("/dom/list.txt", c.error), std::string(c.prefix) + "/dom/list.txt\n" + c.text);
  }
}

TEST(NamedFile, NamesThatAreNotUtf8AreShownFromTheCodePage) {
  EXPECT_EQ(vokar::app::DisplayName("/tmp/plain.txt"), "/tmp/plain.txt");
  EXPECT_EQ(vokar::app::DisplayName("/tmp/żółw.txt"), "/tmp/żółw.txt");
  EXPECT_EQ(vokar::app::DisplayName("/tmp/\xBF\xF3\xB3w.txt"), "/tmp/żółw.txt");
}

}  // namespace
