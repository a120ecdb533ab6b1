#include "Registration.h"

#include "ClassRegistration.h"

namespace vokar::comment {
namespace {

template <class Outcome>
void Merge(RegistrationReport& report, const Outcome& outcome) {
  report.ok = report.ok && outcome.ok;
  report.problems.insert(report.problems.end(), outcome.problems.begin(), outcome.problems.end());
}

}  // namespace

RegistrationReport RegisterCommentType(const std::filesystem::path& program, const DesktopPlaces& places) {
  RegistrationReport report;
  Merge(report, WriteClassEntries(program));
  Merge(report, RegisterWithDesktop(program, places));
  return report;
}

RegistrationReport UnregisterCommentType(const DesktopPlaces& places) {
  RegistrationReport report;
  Merge(report, RemoveClassEntries());
  Merge(report, RemoveFromDesktop(places));
  return report;
}

}  // namespace vokar::comment
