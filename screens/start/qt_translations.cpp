#include "qt_translations.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace tavelo {

bool loadQtTranslations(QTranslator &translator)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    return translator.load(QStringLiteral("qtbase_pt_PT"), folder) ||
           translator.load(QStringLiteral("qtbase_pt_BR"), folder);
}

} // namespace tavelo
