// The words painted on interface pictures, with their German and French forms. Column heads are short: each
// form fits over its column beside its neighbours, which the painter checks.
#include "tools/content/label_texts.h"

#include <cstring>

namespace {

struct Word {
    const char* text[kContentLanguageCount];  // English, German, French
};

const Word kWords[] = {
    // Questions.
    {{"Close", "Schließen", "Fermer"}},
    {{"Yes", "Ja", "Oui"}},
    {{"No", "Nein", "Non"}},
    // Front end.
    {{"Mall", "Einkaufszentrum", "Centre commercial"}},
    {{"London", "London", "Londres"}},
    {{"Paris", "Paris", "Paris"}},
    {{"Berlin", "Berlin", "Berlin"}},
    {{"Quit", "Beenden", "Quitter"}},
    {{"<", "<", "<"}},
    {{">", ">", ">"}},
};

const char* const kSuffixes[kContentLanguageCount] = {"", "ger", "fre"};

}  // namespace

const char* ContentLabelText(const char* english, int language)
{
    if (!english || language < 0 || language >= kContentLanguageCount)
        return nullptr;
    for (const Word& word : kWords) {
        if (std::strcmp(word.text[kContentEnglish], english) == 0)
            return word.text[language];
    }
    return nullptr;
}

const char* ContentLanguageSuffix(int language)
{
    return language >= 0 && language < kContentLanguageCount ? kSuffixes[language] : "";
}
