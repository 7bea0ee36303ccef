#pragma once

// Typed factors remembered between runs of the program: one box a field of a
// window's field table (the valuation's prices and costs, the carbon
// account's factors), named and labelled by the table and filled with what
// was typed last time.

#include <QString>

#include <string>
#include <vector>

class QLineEdit;
class QWidget;

namespace tavelo {

class AppContext;

class RememberedBoxes {
public:
    struct Field {
        const char *objectName;
        QString label;
        QString settingsKey; // "economia/prices.sawlog"
        QString placeholder; // shown in grey in an empty box
    };
    RememberedBoxes(AppContext &ctx, QWidget *parent, const std::vector<Field> &fields);

    const std::vector<QLineEdit *> &boxes() const { return boxes_; }
    const QString &label(size_t i) const { return labels_[i]; }
    // Each box's text, in the fields' order.
    std::vector<std::string> texts() const;
    // A refused box takes the focus, its text selected for typing over.
    void pointAt(size_t i) const;
    // Stores every box's text for the next run; false when one could not be stored.
    bool remember() const;

    // The fields of a window's table: each info's field (its index), objectName,
    // label and key path, the key stored under `prefix`.
    template <typename Table> static std::vector<Field> fieldsOf(const Table &table, const QString &prefix)
    {
        std::vector<Field> fields(table.size());
        for (const auto &info : table)
            fields[static_cast<size_t>(info.field)] = {info.name, QString::fromUtf8(info.label),
                                                       prefix + QLatin1String(info.keyPath), QString()};
        return fields;
    }

private:
    AppContext &ctx_;
    std::vector<QLineEdit *> boxes_;
    std::vector<QString> labels_;
    std::vector<QString> keys_;
};

} // namespace tavelo
