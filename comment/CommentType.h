// The names of the comment type: its class identifier, its file-type id and
// type names as the settings store's class root keeps them, and the names the
// Linux desktop knows it by (MIME type, desktop entry, icons).
#pragma once

#include <string_view>

namespace vokar::comment {

inline constexpr std::string_view kClassId = "{5C3E91D4-2B7A-4F06-9E18-6D2A7B40C3F5}";
inline constexpr std::string_view kFileTypeId = "Remarka.Komentarz";
inline constexpr std::string_view kShortTypeName = "Remarka komentarz";
inline constexpr std::string_view kLongTypeName = "Quillmark Remarka Komentarz";
inline constexpr std::string_view kApplicationName = "Remarka";
inline constexpr std::string_view kExtension = ".ann";
inline constexpr std::string_view kFilterName = "Komentarz (*.ann)";
inline constexpr std::string_view kDocumentName = "Koment";

// The verbs of a comment: the first reads it aloud, the second opens it.
inline constexpr std::string_view kReadVerb = "&Czytaj";
inline constexpr std::string_view kOpenVerb = "&Otwórz";

// The switch that starts the program to serve a comment rather than to edit
// it ("/Embedding" or "-Embedding").
inline constexpr std::string_view kEmbeddingSwitch = "Embedding";

inline constexpr std::string_view kMimeType = "application/x-remarka-komentarz";
inline constexpr std::string_view kMimeIconName = "application-x-remarka-komentarz";
inline constexpr std::string_view kMimePackageFile = "quillmark-remarka.xml";
inline constexpr std::string_view kDesktopEntryFile = "quillmark-remarka-komentarz.desktop";

}  // namespace vokar::comment
