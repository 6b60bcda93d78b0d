#include "ui/language.h"

#include "core/global.h"

LanguageId uiLanguage() {
    const u8 language = g_language;
    if (language > lang_traditional || language == lang_english)
        return lang_english;
    if ((g_lcd_lang_valid & (1u << language)) == 0)
        return lang_english;
    return static_cast<LanguageId>(language);
}

QString pickText(const char* chinese, const char* english, const char* russian,
                 const char* vietnamese, const char* traditional) {
    const char* texts[] = {chinese, english, russian, vietnamese, traditional};
    return QString::fromUtf8(texts[uiLanguage()]);
}

QString langPng(const QString& base) {
    static const char* const prefixes[] = {"", "en_", "ru_", "vn_", "tn_"};
    return QStringLiteral(":/png/") + QLatin1String(prefixes[uiLanguage()]) + base;
}
