#include "economics_section.h"

#include "regimes/json_keys.h"

#include <QJsonObject>
#include <QJsonValue>

#include <string_view>

namespace tavelo {

std::variant<EconomicTexts, ReadProblem> parseEconomicsSection(const QJsonValue &section)
{
    if (!section.isObject())
        return keyProblem(ReadProblem::Kind::NotObject, "economics");
    const QJsonObject root = section.toObject();
    EconomicTexts texts;
    // Every key must be one the valuation knows: a typo must not read as 0.
    for (const QString &k : root.keys())
        if (k != QLatin1String("prices") && k != QLatin1String("costs") && k != QLatin1String("discountRate") &&
            k != QLatin1String("landValue"))
            return keyProblem(ReadProblem::Kind::UnknownKey, "economics." + k.toStdString());
    for (const char *group : {"prices", "costs"}) {
        const QJsonValue g = root.value(QLatin1String(group));
        if (!g.isUndefined() && !g.isObject())
            return keyProblem(ReadProblem::Kind::NotObject, std::string("economics.") + group);
        for (const QString &k : g.toObject().keys()) {
            const std::string path = std::string(group) + "." + k.toStdString();
            bool known = false;
            for (const EconomicFieldInfo &info : kEconomicFields)
                known = known || path == info.keyPath;
            if (!known)
                return keyProblem(ReadProblem::Kind::UnknownKey, "economics." + path);
        }
    }
    for (const EconomicFieldInfo &info : kEconomicFields) {
        const std::string_view path = info.keyPath;
        const size_t dot = path.find('.');
        QJsonValue v;
        if (dot == path.npos) {
            v = root.value(QLatin1String(info.keyPath));
        } else {
            const QJsonObject group = root.value(QString::fromUtf8(path.substr(0, dot))).toObject();
            v = group.value(QString::fromUtf8(path.substr(dot + 1)));
        }
        if (v.isUndefined())
            continue;
        if (!v.isString())
            return keyProblem(ReadProblem::Kind::NotText, std::string("economics.") + info.keyPath);
        texts[info.field] = v.toString().toStdString();
    }
    if (const QJsonValue land = root.value(QLatin1String("landValue")); !land.isUndefined()) {
        if (!land.isString())
            return keyProblem(ReadProblem::Kind::NotText, "economics.landValue");
        texts.landValue = land.toString().toStdString();
    }
    return texts;
}

} // namespace tavelo
