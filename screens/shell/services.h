#pragma once

// The few things a screen asks of the desktop, behind small interfaces so that
// tests run headless: message boxes (and their answers), ending the program,
// the save dialog and the print dialog.

#include "base/message.h"

#include <QString>

#include <optional>

class QWidget;
class QPrinter;

namespace tavelo {

class MessageService {
public:
    enum class Answer { Ok, Yes, No };
    virtual ~MessageService() = default;
    // Shows the box modally over `parent` and returns the button pressed.
    virtual Answer show(QWidget *parent, const Message &message) = 0;
};

class ExitService {
public:
    virtual ~ExitService() = default;
    // Ends the program at once with `code`; never returns. A stand-in that
    // cannot end the process throws ProgramEnded instead.
    virtual void exit(int code) = 0;
};

// The program ended inside a handler: nothing after the ending runs. Caught
// where the handler was entered (AppContext::guarded).
struct ProgramEnded {
    int code = 0;
};

class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    // The name chosen in a save dialog; empty when cancelled. `filter` is in the
    // "description|pattern" form.
    virtual QString saveFileName(QWidget *parent, const QString &title, const QString &proposedName,
                                 const QString &filter) = 0;
    // The file chosen in an open dialog; empty when cancelled. `filter` is in
    // Qt's "Description (*.a *.b);;Other (*.c)" form.
    virtual QString openFileName(QWidget *parent, const QString &title, const QString &filter) = 0;
};

class PrintService {
public:
    virtual ~PrintService() = default;
    // Lets the user choose the printer and its settings; false when cancelled.
    virtual bool choosePrinter(QWidget *parent, QPrinter &printer) = 0;
};

// Values remembered between runs of the program (the valuation's prices and
// costs), by key.
class SettingsService {
public:
    virtual ~SettingsService() = default;
    virtual std::optional<QString> value(const QString &key) const = 0;
    // False when the value could not be stored.
    virtual bool setValue(const QString &key, const QString &value) = 0;
};

// Exit codes of the program.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitRegionalSettings = 2;
inline constexpr int kExitModelLimit = 3;

// The desktop implementations.
class WidgetMessageService : public MessageService {
public:
    Answer show(QWidget *parent, const Message &message) override;
};
class ProcessExitService : public ExitService {
public:
    void exit(int code) override;
};
class WidgetFileDialogService : public FileDialogService {
public:
    QString saveFileName(QWidget *parent, const QString &title, const QString &proposedName,
                         const QString &filter) override;
    QString openFileName(QWidget *parent, const QString &title, const QString &filter) override;
};
class WidgetPrintService : public PrintService {
public:
    bool choosePrinter(QWidget *parent, QPrinter &printer) override;
};
// The user's settings of organisation "Tavelo", application "Tavelo".
class UserSettingsService : public SettingsService {
public:
    std::optional<QString> value(const QString &key) const override;
    bool setValue(const QString &key, const QString &value) override;
};

struct Services {
    MessageService *messages = nullptr;
    ExitService *exit = nullptr;
    FileDialogService *files = nullptr;
    PrintService *print = nullptr;
    SettingsService *settings = nullptr; // nothing is remembered without one
};

QString qs(const std::string &utf8);

} // namespace tavelo
