#pragma once

// What a user's hand does to a control, the same in every window test.

#include <QLineEdit>
#include <QRadioButton>
#include <QString>
#include <QTest>

namespace tavelo::testing {

// Replaces the text of a box by typing, as a user selects all and types over it.
inline void typeInto(QLineEdit *box, const QString &text)
{
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    if (!text.isEmpty())
        QTest::keyClicks(box, text);
}

// Clicks an option on its round mark (the widget may be wider than its caption).
inline void choose(QRadioButton *option)
{
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
}

} // namespace tavelo::testing
