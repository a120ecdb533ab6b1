#include "ClassRegistration.h"

#include <string_view>

#include "CommentType.h"
#include "KeyName.h"
#include "Registry.h"

namespace vokar::comment {
namespace {

using registry::Root;

std::string Join(std::string_view a, std::string_view b) { return std::string(a) + std::string(b); }

}  // namespace

std::vector<ClassEntry> ClassEntries(const std::filesystem::path& program) {
  const std::string clsid = Join("CLSID\\", kClassId);
  const std::string type(kFileTypeId);
  const std::string path = program.string();
  using enum WriteRule;
  return {
      // What describes the type and its verbs: a user may have changed these.
      {type, std::string(kLongTypeName), WhenMissing},
      {type + "\\Insertable", "", WhenMissing},
      {type + "\\protocol\\StdFileEditing\\verb\\0", std::string(kReadVerb), WhenMissing},
      {type + "\\protocol\\StdFileEditing\\verb\\1", std::string(kOpenVerb), WhenMissing},
      {clsid, std::string(kLongTypeName), WhenMissing},
      {clsid + "\\Verb\\0", Join(kReadVerb, ",0,3"), WhenMissing},
      {clsid + "\\Verb\\1", Join(kOpenVerb, ",0,2"), WhenMissing},
      {clsid + "\\Insertable", "", WhenMissing},
      {clsid + "\\AuxUserType\\2", std::string(kShortTypeName), WhenMissing},
      {clsid + "\\AuxUserType\\3", std::string(kApplicationName), WhenMissing},
      {clsid + "\\MiscStatus", "32", WhenMissing},
      // What ties the type to this program: it follows the program when it moves.
      {type + "\\CLSID", std::string(kClassId), Always},
      {type + "\\protocol\\StdFileEditing\\server", path, Always},
      {clsid + "\\ProgID", type, Always},
      {clsid + "\\InprocHandler32", "ole32.dll", Always},
      {clsid + "\\LocalServer32", path, Always},
      {clsid + "\\DefaultIcon", path + ",1", Always},
      // The file type as the desktop's shell knows it.
      {std::string(kExtension), type, WhenMissing},
      {type + "\\DefaultIcon", path + ",1", Always},
      {type + "\\shell\\open\\command", "\"" + path + "\" \"%1\"", Always},
  };
}

RegistrationOutcome WriteClassEntries(const std::filesystem::path& program) {
  RegistrationOutcome outcome;
  const auto problem = [&outcome](const std::string& key, const registry::Error& error) {
    outcome.ok = false;
    outcome.problems.push_back("HKEY_CLASSES_ROOT\\" + key + ": " + error.description);
  };
  for (const ClassEntry& entry : ClassEntries(program)) {
    auto key = registry::Key::Create(Root::ClassesRoot, entry.key);
    if (!key) {
      problem(entry.key, key.error());
      continue;
    }
    if (entry.rule == WriteRule::WhenMissing) {
      // A value already there, even of the other type, is the user's; an
      // empty text counts as missing.
      const auto existing = key->Query("");
      if (existing.ok() && !(std::holds_alternative<std::string>(*existing) && std::get<std::string>(*existing).empty()))
        continue;
      if (!existing.ok() && !existing.IsNotFound()) {
        problem(entry.key, existing.error());
        continue;
      }
    }
    if (const auto status = key->Set("", entry.value); !status) problem(entry.key, status.error());
  }
  return outcome;
}

RegistrationOutcome RemoveClassEntries() {
  RegistrationOutcome outcome;
  const auto removeTree = [&outcome](const std::string& key) {
    const auto status = registry::DeleteTree(Root::ClassesRoot, key);
    if (!status && !status.IsNotFound()) {
      outcome.ok = false;
      outcome.problems.push_back("HKEY_CLASSES_ROOT\\" + key + ": " + status.error().description);
    }
  };
  // The extension goes only while it still names our type.
  if (auto extension = registry::Key::Open(Root::ClassesRoot, kExtension)) {
    const auto type = extension->QueryString("");
    if (type.ok() && registry::SameName(*type, kFileTypeId)) removeTree(std::string(kExtension));
  }
  removeTree(std::string(kFileTypeId));
  removeTree(Join("CLSID\\", kClassId));
  return outcome;
}

}  // namespace vokar::comment
