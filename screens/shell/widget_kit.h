#pragma once

// The widget kit every screen builds with: buttons, read-only fields, grids,
// the print and chart pictures, and where a new window opens.

#include "screens/shell/windows.h"

#include <QString>

#include <initializer_list>

class QGridLayout;
class QIcon;
class QLabel;
class QPushButton;
class QTableView;
class QWidget;

namespace tavelo {

class AppContext;

// Small pieces the program's screens share.
namespace ui {
// The pictures of the print and chart buttons.
QIcon printIcon();
QIcon chartIcon();
QPushButton *button(QWidget *parent, const char *name, const QString &caption);
// A button read aloud by its caption, for the windows that screen readers name.
QPushButton *captionedButton(QWidget *parent, const char *name, const QString &caption);
// `w` with its object name and the name a screen reader says.
template <typename W> W *named(W *w, const char *name, const QString &accessible)
{
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(accessible);
    return w;
}
// A button with a picture and no caption; `tip` says what it does.
QPushButton *pictureButton(QWidget *parent, const char *name, const QIcon &icon, const QString &tip);
// A read-only field the screen writes.
QLabel *field(QWidget *parent, const char *name, int minimumChars = 6);
// A caption right-aligned before its field.
QLabel *caption(QWidget *parent, const QString &text);

// The stand's header as the stand screens and the chart windows show it: age,
// dominant height, quality class, mean diameter and year, each a read-only
// field after its caption.
struct StandHeader {
    enum class Item { Age, DominantHeight, QualityClass, MeanDiameter, Year };
    QLabel *txtIdade = nullptr;
    QLabel *txtADom = nullptr;
    QLabel *txtCQualidd = nullptr;
    QLabel *txtDmedio = nullptr;
    QLabel *txtAno = nullptr;
};
// Makes the header's fields in `panel` and places them in `grid`: row by row,
// each item a caption and its field in the next two columns.
StandHeader standHeader(QWidget *panel, QGridLayout *grid,
                        std::initializer_list<std::initializer_list<StandHeader::Item>> rows);
// A grid: no row numbers, no editing, no horizontal scrolling needed.
QTableView *grid(QWidget *parent, const char *name);
// Tall enough for `rows` rows under the header (and no taller than that).
void fitGridHeight(QTableView &view, int rows);
// A new window opens over the middle of `over` (the middle of the screen when
// there is none), inside the screen, rather than wherever it happens to land.
void placeCentred(QWidget *window, const QWidget *over);
// Shows a loaded window again (and brings it forward); nothing when it is not loaded.
QWidget *showIfLoaded(AppContext &ctx, WindowId id, bool activate = true);
} // namespace ui

} // namespace tavelo
