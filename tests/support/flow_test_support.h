#pragma once

// A whole program, headless, for the tests of a simulation driven through the
// windows: its own stand state, fake services, a temporary log folder, every
// window registered and the start screen shown. The stand is described
// through the session as the options, stand data and density windows leave
// it; from the stand screen on, everything is clicked and typed as a user would.

#include "screens/shell/app_context.h"
#include "support/widget_lookup.h"
#include "screens/start/entrada_screen.h"
#include "regimes/scenario.h"
#include "screens/start/screens.h"
#include "screens/structure/thinning_screen.h"
#include "session/structure/sim_record.h"
#include "screens/structure/stand_screen.h"
#include "support/fake_services.h"
#include "support/gestures.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>

namespace tavelo::testing {

inline QString examplePath(const QString &file)
{
    return QStringLiteral(TAVELO_EXAMPLES_DIR "/") + file;
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// A reference run's scenario; the year left out of one is 2026.
inline Scenario exampleScenario(const QString &name)
{
    const QByteArray json = readFile(examplePath(name + QStringLiteral(".json")));
    auto parsed = parseScenario(json.toStdString(), "2026");
    if (auto *error = std::get_if<ReadProblem>(&parsed))
        qFatal("scenario %s: %s", qPrintable(name), englishText(*error).c_str());
    return std::get<Scenario>(parsed);
}

inline ScenarioStep thinStep(ScreenEntries::Thinning kind, const std::string &text)
{
    ScenarioStep s;
    s.kind = ScenarioStep::Kind::Thin;
    s.thinning = kind == ScreenEntries::Thinning::Mechanical ? ThinningInput::mechanical(text)
                                                            : ThinningInput::fromBelow(text);
    return s;
}

inline ScenarioStep simpleStep(ScenarioStep::Kind kind)
{
    ScenarioStep s;
    s.kind = kind;
    return s;
}

// Steps written short: "p" project, "m30" a mechanical thinning of 30 %, "b19.5"
// a thinning from below to 19.5 m2/ha, "d" define the thinning again, "e" end.
inline std::vector<ScenarioStep> stepsFrom(const QString &text)
{
    std::vector<ScenarioStep> steps;
    for (const QString &t : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (t == QLatin1String("p"))
            steps.push_back(simpleStep(ScenarioStep::Kind::Project));
        else if (t == QLatin1String("d"))
            steps.push_back(simpleStep(ScenarioStep::Kind::Discard));
        else if (t == QLatin1String("e"))
            steps.push_back(simpleStep(ScenarioStep::Kind::End));
        else if (t.startsWith(QLatin1Char('m')))
            steps.push_back(thinStep(ScreenEntries::Thinning::Mechanical, t.mid(1).toStdString()));
        else if (t.startsWith(QLatin1Char('b')))
            steps.push_back(thinStep(ScreenEntries::Thinning::FromBelow, t.mid(1).toStdString()));
        else
            qFatal("unknown step %s", qPrintable(t));
    }
    return steps;
}

// What the session writes for a scenario when no window is involved.
struct ReferenceRun {
    QByteArray log;
    std::string record;
    RunResult result;
};

inline ReferenceRun runReference(const Scenario &scenario, const QString &folder)
{
    StandState state;
    const std::filesystem::path log = std::filesystem::path(folder.toStdString()) / "reference.log";
    ReferenceRun r;
    r.result = runScenario(scenario, state, log);
    r.log = readFile(QString::fromStdString(log.string()));
    r.record = recordCsv(state);
    return r;
}

// What a gesture set going has happened before the next one: the windows
// activated are active, the unloaded ones gone.
inline void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Presses a button the user can see and reach.
inline bool press(QAbstractButton *button)
{
    if (!button || !button->isVisible() || !button->isEnabled()) {
        qWarning("button %s cannot be pressed", button ? qPrintable(button->objectName()) : "(none)");
        return false;
    }
    QTest::mouseClick(button, Qt::LeftButton);
    settle();
    return true;
}

// A grid's cells as the view shows them (the header row first).
inline QStringList gridRow(const QTableView *view, int row)
{
    QStringList out;
    const QAbstractItemModel *m = view->model();
    for (int c = 0; c < m->columnCount(); ++c)
        out << (row < 0 ? m->headerData(c, Qt::Horizontal).toString() : m->index(row, c).data().toString());
    return out;
}

// The number of pages of a PDF file, as poppler's pdfinfo reads it.
inline int pdfPages(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return -1;
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The first page's size in points.
inline QSizeF pdfPageSize(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    const auto m = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)"))
                       .match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

// The text of each page of a PDF file, line by line with the layout kept.
inline QList<QStringList> pdfPageLines(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    QList<QStringList> pages;
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return pages;
    QStringList texts = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!texts.isEmpty() && texts.last().trimmed().isEmpty())
        texts.removeLast();
    for (const QString &t : texts) {
        QStringList lines = t.split(QLatin1Char('\n'));
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
            lines.removeLast();
        pages << lines;
    }
    return pages;
}

// Whether a printed PDF holds the log: every line of it, in order, one printed
// line per log line with its columns, and pages that break only when full
// (the same number of lines on every page but the last). `why` says what is wrong.
inline bool printedAsLog(const QString &pdf, const QStringList &logLines, QString *why)
{
    auto fail = [why](const QString &w) {
        *why = w;
        return false;
    };
    const QList<QStringList> pages = pdfPageLines(pdf);
    if (pages.isEmpty())
        return fail(QStringLiteral("no text in the PDF"));
    if (pdfPages(pdf) != pages.size())
        return fail(QStringLiteral("pdfinfo and pdftotext disagree on the pages"));

    // The log's lines that print something, by their index in the log.
    QList<int> inked;
    for (int i = 0; i < logLines.size(); ++i)
        if (!logLines[i].trimmed().isEmpty())
            inked << i;
    // Where each page starts and ends in the log.
    QList<int> first, last;
    int next = 0;
    for (const QStringList &page : pages) {
        int onPage = 0;
        for (const QString &line : page) {
            if (line.trimmed().isEmpty())
                continue;
            if (next >= inked.size())
                return fail(QStringLiteral("more printed than logged: ") + line);
            if (line.simplified() != logLines[inked[next]].simplified())
                return fail(QStringLiteral("printed \"%1\" where the log has \"%2\"").arg(line, logLines[inked[next]]));
            if (onPage++ == 0)
                first << inked[next];
            last = last.mid(0, first.size() - 1) << inked[next];
            ++next;
        }
        if (onPage == 0)
            return fail(QStringLiteral("an empty page"));
    }
    if (next != inked.size())
        return fail(QStringLiteral("%1 log lines missing").arg(inked.size() - next));

    // Some page height k (in lines) puts every break where it fell and gives
    // exactly as many pages as the log needs.
    const int total = static_cast<int>(logLines.size());
    const int count = static_cast<int>(pages.size());
    for (int k = 1; k <= total; ++k) {
        if ((total + k - 1) / k != count)
            continue;
        bool fits = true;
        for (int p = 0; p + 1 < count && fits; ++p)
            fits = last[p] < (p + 1) * k && (p + 1) * k <= first[p + 1];
        if (fits)
            return true;
    }
    return fail(QStringLiteral("the pages do not break at a fixed number of lines"));
}

// The log's lines, without their CR LF ends.
inline QStringList logLinesOf(const QByteArray &bytes)
{
    QStringList lines = QString::fromLatin1(bytes).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

class FlowHarness {
public:
    FlowHarness()
    {
        ctx = std::make_unique<AppContext>(fake.services(), std::filesystem::path(dir.path().toStdString()),
                                           NumberConventions{".", ","}, state);
        registerAllScreens(ctx->windows);
        ctx->windows.show(WindowId::Entrada);
    }
    ~FlowHarness() { closeAll(); }
    FlowHarness(const FlowHarness &) = delete;
    FlowHarness &operator=(const FlowHarness &) = delete;

    // The windows go before the context they refer to.
    void closeAll()
    {
        settle();
        QList<QPointer<QWidget>> windows;
        for (const QString &name : ctx->windows.loadedNames())
            windows << ctx->windows.named(name);
        for (const QPointer<QWidget> &w : windows)
            if (w && !w->parentWidget())
                delete w.data();
        for (const QPointer<QWidget> &w : windows)
            if (w)
                delete w.data();
        settle();
    }

    template <typename T = QWidget> T *window(const char *name) const
    {
        return ctx->windows.named<T>(QLatin1String(name));
    }
    StandStructureScreen *form5() const { return window<StandStructureScreen>("Form5"); }
    AfterThinningScreen *form7() const { return window<AfterThinningScreen>("form7"); }
    ThinningScreen *form6() const { return window<ThinningScreen>("Form6"); }
    bool shown(const char *name) const
    {
        QWidget *w = window(name);
        return w && w->isVisible();
    }
    QStringList visibleWindows() const
    {
        QStringList out;
        for (const QString &n : ctx->windows.loadedNames())
            if (ctx->windows.named(n)->isVisible())
                out << n;
        out.sort();
        return out;
    }

    // The options, the stand data and the density as their windows leave the
    // session, then the stand screen opens as the stand data window's "&Ok"
    // opens it. False (with a warning) when the scenario's entries are refused.
    bool enterStand(const Scenario &s)
    {
        SimulationFlow &flow = ctx->flow;
        if (!flow.confirmOptions(s.options).accepted)
            return failed("options refused");
        flow.typeOptions(s.options.year, s.options.stumpHeight);
        const auto *d = std::get_if<UnthinnedDensity>(&s.density);
        if (!flow.chooseRoute(d ? SimulationFlow::Route::Unthinned : SimulationFlow::Route::Thinned, s.stand)
                 .openDensityScreen)
            return failed("stand data refused");
        if (d) {
            if (flow.confirmUnthinnedDensity(d->trees, d->choice).kind != DensityOutcome::Kind::Stored)
                return failed("density refused");
        } else if (flow.confirmThinnedEntry(std::get<ThinnedEntryInput>(s.density)).kind !=
                   DensityOutcome::Kind::Stored) {
            return failed("thinned stand refused");
        }
        if (flow.confirmStandData())
            return failed("stand data incomplete");
        ctx->windows.show(WindowId::StandStructure);
        settle();
        return true;
    }

    bool thinnedInFront() const { return shown("form7"); }

    // One step of a scenario, clicked and typed on the screens.
    bool play(const ScenarioStep &step)
    {
        switch (step.kind) {
        case ScenarioStep::Kind::Project:
            return thinnedInFront() ? press(widget<QPushButton>(form7(), "cmdProjectar")) : press(widget<QPushButton>(form5(), "cmdProjectar"));
        case ScenarioStep::Kind::Thin:
            return thin(step.thinning.choice, step.thinning.choice == ScreenEntries::Thinning::Mechanical
                                                  ? step.thinning.mechanicalPercent
                                                  : step.thinning.residualBasalArea);
        case ScenarioStep::Kind::Discard:
            return press(widget<QPushButton>(form7(), "cmdReDesbastar"));
        case ScenarioStep::Kind::End:
            return finish();
        }
        return false;
    }

    // "Realizar desbaste", the kind and intensity typed, "&Ok".
    bool thin(ScreenEntries::Thinning kind, const std::string &text)
    {
        if (!form5() || !press(widget<QPushButton>(form5(), "cmdDesbastar")))
            return false;
        ThinningScreen *f6 = form6();
        if (!f6 || !f6->isVisible())
            return failed("the thinning screen did not open");
        if (kind == ScreenEntries::Thinning::Mechanical) {
            choose(widget<QRadioButton>(f6, "optDmecanico"));
            typeInto(widget<QLineEdit>(f6, "txtDmecanico"), QString::fromStdString(text));
        } else if (kind == ScreenEntries::Thinning::FromBelow) {
            choose(widget<QRadioButton>(f6, "optDselectivo"));
            typeInto(widget<QLineEdit>(f6, "txtDselectivo"), QString::fromStdString(text));
        }
        return press(widget<QPushButton>(f6, "cmdOk"));
    }

    // "Terminar Simulação" on the stand screen in front.
    bool finish()
    {
        return thinnedInFront() ? press(widget<QPushButton>(form7(), "cmdTerminar")) : press(widget<QPushButton>(form5(), "cmdTerminar"));
    }

    // Plays every step, stopping where the program ends.
    bool playAll(const Scenario &s)
    {
        for (const ScenarioStep &step : s.steps) {
            if (!play(step))
                return false;
            if (fake.exit.exited())
                return true;
        }
        return true;
    }

    QByteArray logBytes() const { return readFile(QString::fromStdString(ctx->logPath().string())); }
    int logBlocks() const { return static_cast<int>(logBytes().count(QByteArray(160, '*'))); }
    int recordRows() const { return recordRowCount(state); }
    QString recordCell(int row, int col) const
    {
        return QString::fromStdString(recordCellText(state.record[row][col]));
    }

    QTemporaryDir dir;
    StandState state;
    FakeServices fake;
    std::unique_ptr<AppContext> ctx;

private:
    static bool failed(const char *why)
    {
        qWarning("%s", why);
        return false;
    }
};

// The planted stand thinned twice, ended on its stand screen, at "Terminar".
inline bool finishedPlantedStand(FlowHarness &h, bool withBark = true)
{
    Scenario s = exampleScenario(QStringLiteral("planted-two-thinnings"));
    s.options.withBark = withBark;
    return h.enterStand(s) && h.playAll(s) && h.finish() && h.shown("Terminar");
}

} // namespace tavelo::testing
