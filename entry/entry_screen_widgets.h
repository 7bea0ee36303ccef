#pragma once

// Small builders for the entry windows' controls: each gets its object name
// (the control's name) and its caption.

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>

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

inline QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setMinimumWidth(90);
    return b;
}

// A new window opens over the middle of its owner (the start screen), inside
// the screen, instead of wherever the window manager puts it.
inline void placeOverOwner(QWidget *window)
{
    const QWidget *owner = window->parentWidget();
    if (!owner)
        return;
    window->adjustSize();
    QRect r(QPoint(0, 0), window->frameGeometry().size());
    r.moveCenter(owner->frameGeometry().center());
    if (const QScreen *s = owner->screen()) {
        const QRect area = s->availableGeometry();
        r.moveLeft(std::max(area.left(), std::min(r.left(), area.right() + 1 - r.width())));
        r.moveTop(std::max(area.top(), std::min(r.top(), area.bottom() + 1 - r.height())));
    }
    window->move(r.topLeft());
}

} // namespace tavelo
