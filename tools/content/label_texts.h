// The words painted on interface pictures, in each language: the English word a layout names, and its German
// and French forms, which the painter puts on the languages' own pictures.
#pragma once

// Languages in the game's numbering.
constexpr int kContentEnglish = 0;
constexpr int kContentGerman = 1;
constexpr int kContentFrench = 2;
constexpr int kContentLanguageCount = 3;

// The label's text in the language (UTF-8); null when the word has no such form yet.
const char* ContentLabelText(const char* english, int language);

// The file stem of a language's own picture: "<stem>ger" and "<stem>fre", the stem itself for English.
const char* ContentLanguageSuffix(int language);
