#include "carbon_run.h"

#include "base/csv.h"
#include "regimes/json_keys.h"

#include <QJsonObject>
#include <QJsonValue>

#include <string_view>

namespace tavelo {

std::variant<CarbonTexts, ReadProblem> parseCarbonSection(const QJsonValue &section)
{
    if (!section.isObject())
        return keyProblem(ReadProblem::Kind::NotObject, "carbon");
    const QJsonObject root = section.toObject();
    // Every key must be one the account knows: a typo must not read as the default.
    auto known = [](const std::string &path) {
        for (const CarbonFieldInfo &info : kCarbonFields)
            if (path == info.keyPath)
                return true;
        return false;
    };
    for (const QString &k : root.keys()) {
        const std::string key = k.toStdString();
        if (key == "halfLives") {
            if (!root.value(k).isObject())
                return keyProblem(ReadProblem::Kind::NotObject, "carbon.halfLives");
            for (const QString &h : root.value(k).toObject().keys())
                if (!known("halfLives." + h.toStdString()))
                    return keyProblem(ReadProblem::Kind::UnknownKey, "carbon.halfLives." + h.toStdString());
        } else if (!known(key)) {
            return keyProblem(ReadProblem::Kind::UnknownKey, "carbon." + key);
        }
    }
    CarbonTexts texts;
    for (const CarbonFieldInfo &info : kCarbonFields) {
        const std::string_view path = info.keyPath;
        const size_t dot = path.find('.');
        const QJsonValue v =
            dot == path.npos
                ? root.value(QLatin1String(info.keyPath))
                : root.value(QString::fromUtf8(path.substr(0, dot))).toObject().value(QString::fromUtf8(path.substr(dot + 1)));
        if (v.isUndefined())
            continue;
        if (!v.isString())
            return keyProblem(ReadProblem::Kind::NotText, std::string("carbon.") + info.keyPath);
        texts[info.field] = v.toString().toStdString();
    }
    return texts;
}

std::string carbonCsvLine(const std::string &id, const CarbonAccount &a)
{
    return csvCell(id) + ',' + carbonText(a.start) + ',' + carbonText(a.end) + ',' + carbonText(a.balance) + ',' +
           carbonText(a.meanStock) + '\n';
}

} // namespace tavelo
