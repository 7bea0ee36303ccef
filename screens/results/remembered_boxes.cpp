#include "remembered_boxes.h"

#include "screens/shell/app_context.h"

#include <QLineEdit>

namespace tavelo {

RememberedBoxes::RememberedBoxes(AppContext &ctx, QWidget *parent, const std::vector<Field> &fields) : ctx_(ctx)
{
    for (const Field &f : fields) {
        auto *box = new QLineEdit(parent);
        box->setObjectName(QLatin1String(f.objectName));
        box->setMaximumWidth(120);
        box->setPlaceholderText(f.placeholder);
        if (ctx_.services.settings)
            if (const auto remembered = ctx_.services.settings->value(f.settingsKey))
                box->setText(*remembered);
        boxes_.push_back(box);
        labels_.push_back(f.label);
        keys_.push_back(f.settingsKey);
    }
}

std::vector<std::string> RememberedBoxes::texts() const
{
    std::vector<std::string> texts;
    texts.reserve(boxes_.size());
    for (const QLineEdit *box : boxes_)
        texts.push_back(box->text().toStdString());
    return texts;
}

void RememberedBoxes::pointAt(size_t i) const
{
    boxes_[i]->setFocus();
    boxes_[i]->selectAll();
}

bool RememberedBoxes::remember() const
{
    if (!ctx_.services.settings)
        return true;
    bool stored = true;
    for (size_t i = 0; i < boxes_.size(); ++i)
        stored = ctx_.services.settings->setValue(keys_[i], boxes_[i]->text()) && stored;
    return stored;
}

} // namespace tavelo
