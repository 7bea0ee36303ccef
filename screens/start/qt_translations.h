#pragma once

// Qt's own texts (the buttons of the message boxes, the file dialogs and the
// print dialog) in Portuguese, from the translations Debian ships in
// qt6-translations-l10n. The program speaks Portuguese whatever the desktop's
// language, so Qt's texts do too.

class QTranslator;

namespace tavelo {

// Loads Qt's Portuguese translation into `translator`: Portugal's own when Qt
// has one, else the Brazilian one, whose buttons read "Sim", "Não", "Cancelar"
// and "Imprimir" as in Portugal. False when neither is found; the texts then
// stay in English.
bool loadQtTranslations(QTranslator &translator);

} // namespace tavelo
