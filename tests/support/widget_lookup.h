#pragma once

// A window's control found by its object name, as a user's script finds it:
// the windows do not hand their widgets out.

#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace tavelo::testing {

template <typename Widget>
Widget *widget(const QObject *window, const char *name)
{
    Widget *w = window ? window->findChild<Widget *>(QLatin1String(name)) : nullptr;
    if (!w) {
        // A missing control is the test's fault or the window's: stop loudly.
        std::fprintf(stderr, "no %s named %s in %s\n", Widget::staticMetaObject.className(), name,
                     window ? qPrintable(window->objectName()) : "(no window)");
        std::abort();
    }
    return w;
}

template <typename Widget>
Widget *widget(const QObject *window, const QString &name)
{
    return widget<Widget>(window, name.toLatin1().constData());
}

// The thinned stand window's trees box and label of diameter class k, the
// class centred on 5 (k + 1) cm ("txt1_0" ... "txt1_12", "lbl1_0" ...).
inline QLineEdit *classBox(const QObject *window, int k)
{
    return widget<QLineEdit>(window, QStringLiteral("txt1_%1").arg(k));
}
inline QLabel *classLabel(const QObject *window, int k)
{
    return widget<QLabel>(window, QStringLiteral("lbl1_%1").arg(k));
}

} // namespace tavelo::testing
