#pragma once

// What the scenario, regime, rules and search-space files share in reading
// JSON: a key nobody knows is refused, named by its path.

#include "base/shown_text.h"

#include <QJsonObject>
#include <QString>

#include <initializer_list>
#include <optional>
#include <string>

namespace tavelo {

inline std::string utf8(const QString &s) { return s.toStdString(); }

// "where.key: unknown key" for the first key of `o` (in the order JSON objects
// keep, sorted) that is not among `allowed`; nothing when every key is known.
inline std::optional<std::string> unknownKeyError(const QJsonObject &o, const std::string &where,
                                                  std::initializer_list<const char *> allowed)
{
    for (const QString &k : o.keys()) {
        bool known = false;
        for (const char *a : allowed)
            known = known || k == QLatin1String(a);
        if (!known)
            return where + "." + shownText(utf8(k)) + ": unknown key";
    }
    return std::nullopt;
}

// The same, thrown as Error{why} by the reader that catches its own Error.
template <class Error>
void rejectUnknownKeys(const QJsonObject &o, const std::string &where, std::initializer_list<const char *> allowed)
{
    if (auto why = unknownKeyError(o, where, allowed))
        throw Error{std::move(*why)};
}

} // namespace tavelo
