#include "ClockStrings.h"

#include <algorithm>
#include <array>
#include <utility>

#include "Cp1250.h"

namespace vokar::clock {
namespace {

struct Entry {
  int id;
  std::string_view text;
};

// Kept sorted by number for the binary search below.
constexpr Entry kTable[] = {
    {101, "&Informacja o Horalo..."},
    {200, "&Godzina,        7,   50, 14"},
    {201, "&Data,           26,  50, 14"},
    {202, "&Porada,         45,  50, 14"},
    {203, "Komunika&ty...,  64,  50, 14"},
    {204, "&Info...,        88,  50, 14"},
    {205, "Pomo&c...,       107, 50, 14"},
    {206, "&Koniec,         174, 50, 14"},
    {4000, "Horalo wersja 1.1.95"},
    {4001, "Mówiący zegarek"},
    {4010, "Dźwięk (*.wav) |*.wav|Wszystkie pliki (*.*) |*.*||"},
    {4011, "Terminarz (*.evt) |*.evt|Wszystkie pliki (*.*) |*.*||"},
    {4012, "Porady (*.txt) |*.txt|Wszystkie pliki (*.*) |*.*||"},
    {4013, "HORALO"},
    {4070, "[brak]"},
    {4071, "[zajęty]"},
    {4080, "Czytaj godzinę"},
    {4081, "Czytaj datę"},
    {4082, "Czytaj poradę"},
    {4083, "klawisz skrótu 3"},
    {4084, "klawisz skrótu 4"},
    {4400, "zero"},
    {4401, "jeden"},
    {4402, "dwie"},
    {4403, "trzy"},
    {4404, "cztery"},
    {4405, "pieńć"},
    {4406, "sześć"},
    {4407, "siedem"},
    {4408, "osiem"},
    {4409, "dziewieńć"},
    {4410, "dziesieńć"},
    {4411, "jedenaście"},
    {4412, "dwanaście"},
    {4413, "trzynaście"},
    {4414, "czternaście"},
    {4415, "pietnaście"},
    {4416, "szesnaście"},
    {4417, "siedemnaście"},
    {4418, "osiemnaście"},
    {4419, "dziewietnaście"},
    {4420, "dwadzieścia"},
    {4421, "trzydzieści"},
    {4422, "czterdzieści"},
    {4423, "pieńdziesiąt"},
    {4430, "pierwsz"},
    {4431, "drug"},
    {4432, "trzeci"},
    {4433, "czwart"},
    {4434, "piąt"},
    {4435, "szóst"},
    {4436, "siódm"},
    {4437, "ósm"},
    {4438, "dziewiąt"},
    {4439, "dziesiąt"},
    {4440, "jedenast"},
    {4441, "dwunast"},
    {4442, "trzynast"},
    {4443, "czternast"},
    {4444, "pietnast"},
    {4445, "szesnast"},
    {4446, "siedemnast"},
    {4447, "osiemnast"},
    {4448, "dziewietnast"},
    {4449, "dwudziest"},
    {4450, "trzydziest"},
    {4451, "czterdziest"},
    {4452, "pieńdziesiąt"},
    {4453, "sześćdziesiąt"},
    {4454, "siedemdziesiąt"},
    {4455, "osiemdziesiąt"},
    {4456, "dziewieńdziesiąt"},
    {4457, "tysiąc dziewieńcet"},
    {4458, "dwa tysiące"},
    {4459, "dwutysięcznego"},
    {4460, "poniedziałek"},
    {4461, "wtorek"},
    {4462, "środa"},
    {4463, "czwartek"},
    {4464, "piątek"},
    {4465, "sobota"},
    {4466, "niedziela"},
    {4470, "pn"},
    {4471, "wt"},
    {4472, "śr"},
    {4473, "cz"},
    {4474, "pt"},
    {4475, "so"},
    {4476, "ni"},
    {4500, "sty"},
    {4501, "lut"},
    {4502, "mar"},
    {4503, "kwi"},
    {4504, "maj"},
    {4505, "cze"},
    {4506, "lip"},
    {4507, "sie"},
    {4508, "wrz"},
    {4509, "paź"},
    {4510, "lis"},
    {4511, "gru"},
    {4520, "stycznia"},
    {4521, "lutego"},
    {4522, "marca"},
    {4523, "kwietnia"},
    {4524, "maja"},
    {4525, "czerwca"},
    {4526, "lipca"},
    {4527, "sierpnia"},
    {4528, "września"},
    {4529, "października"},
    {4530, "listopada"},
    {4531, "grudnia"},
    {4600, "raz na godzinę"},
    {4601, "raz na dzień"},
    {4602, "raz na tydzień"},
    {4603, "raz w miesiącu"},
    {4604, "raz w roku"},
    {4605, "określonego dnia"},
    {4606, "roku"},
    {57344, "Horalo"},
};

static_assert(std::is_sorted(std::begin(kTable), std::end(kTable),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }));

}  // namespace

std::string_view ClockText(int id) {
  const auto* found = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                                       [](const Entry& entry, int wanted) { return entry.id < wanted; });
  if (found == std::end(kTable) || found->id != id) return {};
  return found->text;
}

std::string ClockTextCp1250(int id) { return cp1250::FromUtf8(ClockText(id)); }

}  // namespace vokar::clock
