#pragma once

// Headless stand-ins for the desktop services: every box shown is recorded and
// answered from a script, the program's end is recorded instead of happening,
// and the save and print dialogs answer what the test set up.

#include "screens/shell/app_context.h"
#include "screens/shell/services.h"

#include <QPrinter>
#include <QString>

#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace tavelo::testing {

class FakeMessageService : public MessageService {
public:
    struct Shown {
        QString parentName; // objectName of the window the box was shown over
        Message message;
    };
    std::vector<Shown> shown;
    std::deque<Answer> answers; // answers to Yes/No boxes, in order; Yes when none is left

    Answer show(QWidget *parent, const Message &m) override
    {
        shown.push_back({parent ? parent->window()->objectName() : QString(), m});
        if (m.buttons == Message::Buttons::Ok)
            return Answer::Ok;
        if (answers.empty())
            return Answer::Yes;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    const Message &last() const { return shown.back().message; }
    void clear() { shown.clear(); }
};

class FakeExitService : public ExitService {
public:
    std::vector<int> codes;
    // Records the code and stops the handler, as the real ending would.
    void exit(int code) override
    {
        codes.push_back(code);
        throw ProgramEnded{code};
    }
    bool exited() const { return !codes.empty(); }
};

class FakeFileDialogService : public FileDialogService {
public:
    struct Asked {
        QString title, proposedName, filter;
    };
    std::vector<Asked> asked;
    QString answer; // the name "chosen"; empty = cancelled
    QString saveFileName(QWidget *, const QString &title, const QString &proposedName, const QString &filter) override
    {
        asked.push_back({title, proposedName, filter});
        return answer;
    }
    std::deque<QString> openAnswers; // the files "chosen" in open dialogs, in order; none left = cancelled
    QString openFileName(QWidget *, const QString &title, const QString &filter) override
    {
        asked.push_back({title, QString(), filter});
        if (openAnswers.empty())
            return {};
        const QString a = openAnswers.front();
        openAnswers.pop_front();
        return a;
    }
};

class FakePrintService : public PrintService {
public:
    int asked = 0;
    bool accept = false;
    QString pdfPath; // when set and accepted, the printer writes this PDF
    // The orientation the user picks in the dialog; none leaves the one proposed.
    std::optional<QPageLayout::Orientation> chosenOrientation;
    std::optional<QPageLayout::Orientation> proposedOrientation; // as the dialog opened
    bool choosePrinter(QWidget *, QPrinter &printer) override
    {
        ++asked;
        proposedOrientation = printer.pageLayout().orientation();
        if (chosenOrientation)
            printer.setPageOrientation(*chosenOrientation);
        if (accept && !pdfPath.isEmpty()) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdfPath);
        }
        return accept;
    }
};

// Remembers in memory only: the user's own settings are never touched.
class FakeSettingsService : public SettingsService {
public:
    std::map<QString, QString> values;
    bool refuse = false; // every store fails
    std::optional<QString> value(const QString &key) const override
    {
        const auto it = values.find(key);
        if (it == values.end())
            return std::nullopt;
        return it->second;
    }
    bool setValue(const QString &key, const QString &value) override
    {
        if (refuse)
            return false;
        values[key] = value;
        return true;
    }
};

struct FakeServices {
    FakeMessageService messages;
    FakeExitService exit;
    FakeFileDialogService files;
    FakePrintService print;
    FakeSettingsService settings;
    Services services() { return {&messages, &exit, &files, &print, &settings}; }
};

} // namespace tavelo::testing
