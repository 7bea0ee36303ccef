#pragma once

// What the result windows share: a window that always hands control back to
// the window that opened it (by its button, its close box, or when the user
// activates another window of the program), and the bar charts they draw.

#include "session/results/economics.h"
#include "session/results/summary.h"
#include "screens/shell/windows.h"

#include <QColor>
#include <QList>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QChartView;
class QHBoxLayout;

namespace tavelo {

class AppContext;
class TextTableModel;

class ReturningWindow : public QWidget {
    Q_OBJECT

public:
    // `id` is this window, `opener` the one shown again on leaving.
    ReturningWindow(AppContext &ctx, WindowId id, WindowId opener);

protected:
    // Shows the opener again and unloads this window.
    void goBack(bool activateOpener = true);
    // Runs `action` (a print) without leaving when its dialog takes the activation.
    template <typename F> void whileBusy(F &&action)
    {
        ++busy_;
        action();
        --busy_;
    }

    // The row a result window ends with: "Voltar ao ecran anterior", the print
    // button (`printTip` its tool tip), "Exportar tabela (CSV)" and the
    // picture's export (`exportCaption`), each file proposed under the
    // simulation's name and `nameSuffix`; a stretch closes the row.
    struct ResultButtons {
        QString printTip;
        QString exportCaption;
        QString nameSuffix; // "-economia"
    };
    QHBoxLayout *resultButtons(const ResultButtons &texts, const TextTableModel &table, QWidget *picture,
                               std::function<void()> print);

    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

    AppContext &ctx_;

private:
    void deactivated();

    WindowId id_;
    WindowId opener_;
    int busy_ = 0;
    bool leaving_ = false;
};

// Bar chart colours that stay apart for every reader (also in grey print).
namespace chart_colours {
inline const QColor kBlue{0, 114, 178};
inline const QColor kGreen{0, 158, 115};
inline const QColor kVermilion{213, 94, 0};
inline const QColor kOrange{230, 159, 0};
inline const QColor kSky{86, 180, 233};
} // namespace chart_colours

struct BarChartLook {
    QString categoryTitle;
    QString valueTitle;
    QList<QColor> colours;
    std::optional<qreal> legendPoints; // no legend when unset
};

// A chart of bars side by side, one set per series; a missing value draws no
// bar but keeps its category.
QChartView *barChart(QWidget *parent, const char *name, const ClassChart &data, const BarChartLook &look);

// A view for a chart of a result window, white and without a frame.
QChartView *resultChartView(QWidget *parent, const char *name, const QSize &minimum);

struct ChartLine {
    const std::vector<ChartPoint> *points;
    QString name;
    QColor colour;
};
struct LineChartLook {
    QString xTitle;
    QString yTitle;
    double xStep;        // ticks on its multiples: 5 for ages, 1 for rates
    double yAtLeast = 0; // the top of the value axis is never below it
};
// Replaces the chart of `view` with lines over one axis; the value axis always
// shows 0.
void drawLines(QChartView *view, const std::vector<ChartLine> &lines, const LineChartLook &look);

// The volume chart over age as bar chart data.
ClassChart volumeOverAge(const std::vector<VolumePoint> &points);

} // namespace tavelo
