#pragma once

// Everything the program prints: the simulation log (from the stand screens and
// the end screen), the picture of a chart window, and the summary chart with
// its caption. The print dialog comes first; cancelling it, or any later
// failure, ends the print without a word.

#include <QFont>
#include <QString>

class QPixmap;
class QPrinter;
class QWidget;

namespace tavelo {

class AppContext;

// The face of the printed log: "Courier New", or the system's fixed-pitch face
// where that family is missing, so that the columns of the log line up.
QFont logPrintFont();

// Prints the simulation log as it stands, one printed line per log line, on
// landscape pages, starting a new page when one is full.
void printLog(AppContext &ctx, QWidget *parent);

// The picture of a widget as shown, drawn at `scale` times its pixels so that
// it stays sharp on paper.
QPixmap sharpPicture(QWidget *widget, qreal scale = 3.0);

// Prints a window's picture fitted to one page.
void printPicture(AppContext &ctx, QWidget *parent, const QPixmap &picture);

// Prints the summary: the caption and the title line in 14-point type, then the
// chart's picture at 80 % of its size on screen, centred across the page.
void printSummary(AppContext &ctx, QWidget *parent, const QString &caption, const QString &title,
                  const QPixmap &chart);

} // namespace tavelo
