#pragma once

// What the scenario, regime, rules and search-space files share in reading
// JSON: a key nobody knows is refused, named by its path.

#include "base/read_problem.h"
#include "base/shown_text.h"

#include <QJsonObject>
#include <QString>

#include <initializer_list>
#include <optional>
#include <string>

namespace tavelo {

inline std::string utf8(const QString &s) { return s.toStdString(); }

// A problem at key `path`.
inline ReadProblem keyProblem(ReadProblem::Kind kind, std::string path, std::string value = {})
{
    ReadProblem p;
    p.kind = kind;
    p.path = std::move(path);
    p.value = std::move(value);
    return p;
}

// "where.key" unknown, for the first key of `o` (in the order JSON objects
// keep, sorted) that is not among `allowed`; nothing when every key is known.
inline std::optional<ReadProblem> unknownKeyError(const QJsonObject &o, const std::string &where,
                                                  std::initializer_list<const char *> allowed)
{
    for (const QString &k : o.keys()) {
        bool known = false;
        for (const char *a : allowed)
            known = known || k == QLatin1String(a);
        if (!known)
            return keyProblem(ReadProblem::Kind::UnknownKey, where + "." + shownText(utf8(k)));
    }
    return std::nullopt;
}

// The same, thrown as Error{problem} by the reader that catches its own Error.
template <class Error>
void rejectUnknownKeys(const QJsonObject &o, const std::string &where, std::initializer_list<const char *> allowed)
{
    if (auto why = unknownKeyError(o, where, allowed))
        throw Error{std::move(*why)};
}

} // namespace tavelo
