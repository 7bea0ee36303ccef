#pragma once

// Qt's own texts (the buttons of the message boxes, the save dialog and the
// print dialog) in the user's language, from the translations Debian ships in
// qt6-translations-l10n.

#include <QLocale>

class QTranslator;

namespace tavelo {

// Loads Qt's translation for `locale` into `translator`; a Portuguese locale
// without its own variant (Portugal has none for Qt 6) gets the Brazilian one,
// whose buttons read "Sim", "Não", "Cancelar" and "Imprimir" as in Portugal.
// False when no translation is found; the texts then stay in English.
bool loadQtTranslations(QTranslator &translator, const QLocale &locale);

} // namespace tavelo
