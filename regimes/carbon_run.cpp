#include "carbon_run.h"

#include "base/csv.h"
#include "base/whole_file.h"

#include <QJsonObject>
#include <QJsonValue>

#include <ostream>
#include <string_view>

namespace tavelo {

std::variant<CarbonTexts, std::string> parseCarbonSection(const QJsonValue &section)
{
    if (!section.isObject())
        return std::string("carbon: must be an object");
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
                return std::string("carbon.halfLives: must be an object");
            for (const QString &h : root.value(k).toObject().keys())
                if (!known("halfLives." + h.toStdString()))
                    return "carbon.halfLives." + h.toStdString() + ": unknown key";
        } else if (!known(key)) {
            return "carbon." + key + ": unknown key";
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
            return std::string("carbon.") + info.keyPath + ": must be a string (the text as typed)";
        texts[info.field] = v.toString().toStdString();
    }
    return texts;
}

CheckedCarbon checkCarbon(const std::optional<CarbonTexts> &texts, const std::string &file, std::ostream &err)
{
    CheckedCarbon checked;
    if (!texts)
        return checked;
    auto read = readCarbonFactors(*texts);
    if (const auto *refusal = std::get_if<CarbonRefusal>(&read)) {
        err << "tavelo-cli: " << file << ": " << refusal->keyPath << ": \"" << (*texts)[refusal->field]
            << "\": " << refusal->message.text << "\n";
        checked.accepted = false;
        return checked;
    }
    checked.factors = std::get<CarbonFactors>(read);
    return checked;
}

bool writeCarbonJson(const std::string &path, const StandState &state, const CarbonFactors &factors,
                     std::ostream &err)
{
    const auto account = carbonOfSimulation(state, factors);
    if (!account) {
        err << "tavelo-cli: cannot write " << path << ": the simulation has no carbon account\n";
        return false;
    }
    if (auto why = writeWholeFile(path, carbonJson(*account))) {
        err << "tavelo-cli: cannot write " << path << ": " << *why << "\n";
        return false;
    }
    return true;
}

std::string carbonCsvLine(const std::string &id, const CarbonAccount &a)
{
    return csvCell(id) + ',' + carbonText(a.start) + ',' + carbonText(a.end) + ',' + carbonText(a.balance) + ',' +
           carbonText(a.meanStock) + '\n';
}

} // namespace tavelo
