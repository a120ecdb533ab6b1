// Names of keys and values in the settings store: the case folding that makes
// them case-insensitive (Unicode-aware for Latin, Greek and Cyrillic letters,
// so "ŻÓŁW" and "żółw" name the same key) and the checks of what a name may
// hold. Names are UTF-8 throughout.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vokar::registry {

// The lower-case partner of one code point, or the code point itself.
char32_t FoldCodePoint(char32_t c);

// The folded form of a valid UTF-8 name: every letter lower-cased. Bytes that
// are not valid UTF-8 are copied unchanged.
std::string FoldName(std::string_view utf8Name);

// True when the two names are one name to the store ("Remarka.Komentarz" and
// "remarka.KOMENTARZ").
bool SameName(std::string_view a, std::string_view b);

// True when the bytes are valid UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);
// The byte offset of the first invalid sequence, or npos.
std::size_t FirstInvalidUtf8(std::string_view bytes);

// The components of a key path "A\B\C". An empty path gives no components
// (the root itself). Nothing when a component is empty, longer than 255
// characters, not valid UTF-8 or holds a NUL.
std::optional<std::vector<std::string>> SplitKeyPath(std::string_view path);

// A value name may be empty (the default value) and may hold backslashes; it
// must be valid UTF-8 without NUL and at most 16383 characters long.
bool IsValidValueName(std::string_view name);

// What a key or value may be made with, beyond what can be read: keys at
// most 512 levels below their hive (as on the original platform) and at most
// 16383 characters of path, and no name with a control character (a tab or a
// line break would break the lines of a .reg file). Names that an older
// store holds can still be read and deleted.
inline constexpr std::size_t kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxKeyPathChars = 16383;
bool HasControlCharacter(std::string_view name);
// Why a key of this full path (below its hive) cannot be made; nothing when
// it can. The path must already split (SplitKeyPath).
std::optional<std::string> KeyPathProblem(std::string_view fullPath);

}  // namespace vokar::registry
