#include "log_printer.h"

#include "screens/shell/app_context.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>

#include <algorithm>

namespace tavelo {

namespace {

// The log's widest lines are its 160-character rules of asterisks and hyphens.
constexpr int kWidestLogLine = 160;
constexpr qreal kLargestLogPoints = 9.0;
constexpr qreal kSmallestLogPoints = 5.0;
// The summary chart's top edge: 1000 twips below the top of the printable area.
constexpr qreal kSummaryChartTopInches = 1000.0 / 1440.0;
constexpr qreal kSummaryChartScale = 0.8;

// A printer with the page set up before the dialog, so the dialog shows it.
void preparePrinter(QPrinter &printer, QPageLayout::Orientation orientation)
{
    printer.setPageOrientation(orientation);
    // Clear of the paper's edge even where the printer could print to it.
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
}

// The largest size up to 9 points at which the widest log line fits the page.
QFont fittedLogFont(QPrinter &printer)
{
    QFont font = logPrintFont();
    const QString widest(kWidestLogLine, QLatin1Char('-'));
    for (qreal points = kLargestLogPoints; points >= kSmallestLogPoints; points -= 0.5) {
        font.setPointSizeF(points);
        if (QFontMetricsF(font, &printer).horizontalAdvance(widest) <= printer.width())
            return font;
    }
    font.setPointSizeF(kSmallestLogPoints);
    return font;
}

} // namespace

QPixmap sharpPicture(QWidget *widget, qreal scale)
{
    QPixmap picture(widget->size() * scale);
    picture.setDevicePixelRatio(scale);
    picture.fill(Qt::white);
    widget->render(&picture);
    return picture;
}

QFont logPrintFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    // Where the family is missing the font matcher may pick a proportional face;
    // the log's columns need a fixed pitch.
    if (!QFontInfo(font).fixedPitch())
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return font;
}

void printLog(AppContext &ctx, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, QPageLayout::Landscape);
    // The log's lines are wide: landscape is proposed, but what the user
    // chooses in the dialog holds (the font shrinks to fit a portrait page).
    if (!ctx.services.print->choosePrinter(parent, printer))
        return;

    const auto lines = ctx.simulation.log().readLines();
    if (!lines)
        return;

    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const QFont font = fittedLogFont(printer);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    const qreal lineHeight = metrics.lineSpacing();
    const qreal pageHeight = printer.height();

    qreal y = 0.0;
    for (const std::string &line : *lines) {
        if (y > 0.0 && y + lineHeight > pageHeight) {
            if (!printer.newPage()) {
                printer.abort();
                return;
            }
            y = 0.0;
        }
        painter.drawText(QPointF(0.0, y + metrics.ascent()), qs(line));
        y += lineHeight;
    }
    painter.end();
}

void printPicture(AppContext &ctx, QWidget *parent, const QPixmap &picture)
{
    if (picture.isNull())
        return;
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, picture.width() >= picture.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
    if (!ctx.services.print->choosePrinter(parent, printer))
        return;

    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const QSizeF page(printer.width(), printer.height());
    const QSizeF size = picture.deviceIndependentSize().scaled(page, Qt::KeepAspectRatio);
    const QRectF target(QPointF((page.width() - size.width()) / 2.0, 0.0), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, picture, QRectF(picture.rect()));
    painter.end();
}

void printSummary(AppContext &ctx, QWidget *parent, const QString &caption, const QString &title,
                  const QPixmap &chart)
{
    if (chart.isNull())
        return;
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, QPageLayout::Portrait);
    if (!ctx.services.print->choosePrinter(parent, printer))
        return;

    QPainter painter;
    if (!painter.begin(&printer))
        return;
    QFont font = QApplication::font();
    font.setPointSizeF(14.0);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    painter.drawText(QPointF(0.0, metrics.ascent()), caption);
    painter.drawText(QPointF(0.0, metrics.lineSpacing() + metrics.ascent()), title);

    // The picture keeps its size on screen, scaled to 80 %; a page too small for
    // it gets it smaller still rather than cut.
    const qreal screenDpi = parent ? parent->logicalDpiX() : 96.0;
    const qreal toPrinter = printer.resolution() / screenDpi;
    QSizeF size = chart.deviceIndependentSize() * (toPrinter * kSummaryChartScale);
    const qreal top = kSummaryChartTopInches * printer.resolution();
    const QSizeF room(printer.width(), std::max<qreal>(1.0, printer.height() - top));
    if (size.width() > room.width() || size.height() > room.height())
        size = size.scaled(room, Qt::KeepAspectRatio);
    const QRectF target(QPointF(printer.width() / 2.0 - size.width() / 2.0, top), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, chart, QRectF(chart.rect()));
    painter.end();
}

} // namespace tavelo
