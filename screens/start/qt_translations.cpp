#include "qt_translations.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace tavelo {

bool loadQtTranslations(QTranslator &translator, const QLocale &locale)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        return true;
    return locale.language() == QLocale::Portuguese && translator.load(QStringLiteral("qtbase_pt_BR"), folder);
}

} // namespace tavelo
