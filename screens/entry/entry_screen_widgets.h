#pragma once

// Small builders for the entry windows' controls: each gets its object name
// (the control's name) and its caption.

#include "screens/shell/widget_kit.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace tavelo {

inline QGroupBox *groupBox(QWidget *parent, const char *name, const QString &caption)
{
    auto *g = new QGroupBox(caption, parent);
    g->setObjectName(QLatin1String(name));
    return g;
}

inline QRadioButton *radio(QWidget *parent, const char *name, const QString &caption)
{
    auto *r = new QRadioButton(caption, parent);
    r->setObjectName(QLatin1String(name));
    return r;
}

// Text boxes are wide enough for a count or a measure with decimals.
inline QLineEdit *lineEdit(QWidget *parent, const char *name, const QString &text, int width = 90)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(QLatin1String(name));
    e->setFixedWidth(width);
    return e;
}

inline QLabel *buddyLabel(QWidget *parent, const char *name, const QString &caption, QWidget *buddy)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setBuddy(buddy);
    return l;
}

// Entry buttons are wide enough for their short captions.
inline QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    QPushButton *b = ui::button(parent, name, caption);
    b->setMinimumWidth(90);
    return b;
}

// A new window opens over the middle of its owner (the start screen), inside
// the screen, instead of wherever the window manager puts it.
inline void placeOverOwner(QWidget *window)
{
    if (const QWidget *owner = window->parentWidget())
        ui::placeCentred(window, owner);
}

} // namespace tavelo
