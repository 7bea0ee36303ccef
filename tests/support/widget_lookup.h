#pragma once

// A window's control found by its object name, as a user's script finds it:
// the windows do not hand their widgets out.

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

} // namespace tavelo::testing
