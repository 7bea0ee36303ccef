#pragma once

// Inventory rows for the command-line tests: a CSV file as a table, and the
// scenario a user would write for one row under a regime.

#include "base/csv.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <string>
#include <vector>

namespace tavelo::test {

// The records of a CSV text, each as its cells (the header first).
inline std::vector<std::vector<std::string>> csvTable(const std::string &text)
{
    std::vector<std::vector<std::string>> rows;
    for (const CsvRecord &r : splitCsvRecords(text))
        if (!r.text.empty())
            rows.push_back(splitCsvLine(r.text).value_or(std::vector<std::string>{}));
    return rows;
}

// A stand's scenario for `run`: its inventory row (the ten columns of batch)
// with the regime file's options and steps or rules.
inline std::string standScenario(const std::vector<std::string> &row, const std::string &regimeJson)
{
    QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(regimeJson)).object();
    auto text = [&](size_t c) { return QString::fromStdString(row[c]); };
    QJsonObject stand{{"age", text(1)}};
    if (!row[2].empty())
        stand.insert("dominantHeight", text(2));
    else
        stand.insert("qualityClass", text(3));
    root.insert("stand", stand);
    if (!row[4].empty())
        root.insert("density", QJsonObject{{"planted", text(4)}});
    else if (!row[5].empty())
        root.insert("density", QJsonObject{{"alive", text(5)}});
    else
        root.insert("density", QJsonObject{{"trees", text(6)}, {"basalArea", text(7)}, {"minDiameter", text(8)},
                                           {"p95", text(9)}});
    return QJsonDocument(root).toJson().toStdString();
}

} // namespace tavelo::test
