// A Polish sample text for benchmarks: ordinary prose with figures, dates,
// abbreviations, words of capitals and punctuation, in UTF-8. Built by
// repeating the paragraphs with changing figures until it reaches a length.
#pragma once

#include <string>

namespace vokar::bench {

inline constexpr const char* kParagraphs[] = {
    "W Szczebrzeszynie chrząszcz brzmi w trzcinie i Szczebrzeszyn z tego słynie. ",
    "Dnia 12/03/1996 o godzinie 14 w sali nr 5 odbyło się zebranie, na które przyszło 127 osób. ",
    "Cena biletu PKP wzrosła o 3,5 procent, czyli z 48,20 zł do 49,89 zł; np. bilet miesięczny kosztuje 1.234 zł. ",
    "Pociąg odjechał punktualnie, ale już po kwadransie zatrzymał się w szczerym polu i stał tam prawie godzinę! ",
    "Czy wiesz, że w roku 2001 mieszkało tu 2.345.678 ludzi, a dziś jest ich o -7 procent mniej? ",
    "Gżegżółka i dżdżownica rozmawiały cicho o pogodzie, o deszczu i o tym, co przyniesie jutrzejszy dzień. ",
    "Zgodnie z ustawą z dnia 29/02/1997 r. każdy obywatel ma prawo do informacji, tzw. jawności życia publicznego. ",
    "Ul. Marszałkowska 104 w Warszawie to adres, pod którym NATO i ONZ miały kiedyś swoje przedstawicielstwa. ",
    "Książka liczy 999 stron, waży 1,25 kg i kosztuje 39,99 zł; wydano ją w nakładzie 10.000 egzemplarzy. ",
    "Źdźbło trawy drżało na wietrze, a pszczoła brzęczała nad kwiatem jabłoni, szukając nektaru. ",
    "Numer konta: 12345678901234567890, numer telefonu 600 700 800, kod pocztowy 00-950 Warszawa. ",
    "Mój dziadek urodził się 01/01/1900, a babcia 31/12/1905; pobrali się w roku 1925, w maju. ",
    "Wśród stu dwudziestu trzech uczniów tylko dwunastu napisało sprawdzian na ocenę bardzo dobrą. ",
    "Temperatura spadła do -15 stopni, a w nocy nawet do -22,5; drogi były śliskie i niebezpieczne. ",
    "Proszę zwrócić uwagę na znaki: (nawias), \"cudzysłów\", średnik; dwukropek: oraz myślnik - i ukośnik / na końcu. ",
    "Ten tekst ma sprawdzić szybkość czytania: słowa, liczby, daty i skróty wymieszane w jednym akapicie.\r\n",
};

inline std::string PolishSampleText(std::size_t minimumBytes) {
  std::string text;
  for (int round = 0; text.size() < minimumBytes; ++round) {
    for (const char* paragraph : kParagraphs) text += paragraph;
    text += "Runda " + std::to_string(round + 1) + " zakończona o " + std::to_string(10 + round % 12) + "," +
            std::to_string(round % 60) + ". ";
  }
  return text;
}

// Abbreviations the sample text uses, as an exception dictionary.
inline constexpr const char* kSampleDictionary =
    "np. na przykład\ntzw. tak zwanej\nr. roku\nul. ulica\nUl. ulica\nzł złotych\nnr numer\nkg kilogramów\n";

}  // namespace vokar::bench
