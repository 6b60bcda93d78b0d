// The language the panel speaks and the language variants of its images.
#pragma once

#include <QString>

#include "core/types.h"

enum LanguageId : u8 {
    lang_chinese = 0,
    lang_english = 1,
    lang_russian = 2,
    lang_vietnamese = 3,
    lang_traditional = 4,
};

// g_language when that language is offered (its bit in g_lcd_lang_valid is set);
// English for every other case, a value above 4 included.
LanguageId uiLanguage();

// The text of the current language among the five, given in LanguageId order (UTF-8).
QString pickText(const char* chinese, const char* english, const char* russian,
                 const char* vietnamese, const char* traditional);

// ":/png/" plus the prefix of the current language ("en_", "ru_", "vn_", "tn_"; none
// for simplified Chinese) plus the base name.
QString langPng(const QString& base);
