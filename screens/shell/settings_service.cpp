#include "screens/shell/services.h"

#include <QSettings>

namespace tavelo {


std::optional<QString> UserSettingsService::value(const QString &key) const
{
    const QSettings s(QStringLiteral("Tavelo"), QStringLiteral("Tavelo"));
    const QVariant v = s.value(key);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

bool UserSettingsService::setValue(const QString &key, const QString &value)
{
    QSettings s(QStringLiteral("Tavelo"), QStringLiteral("Tavelo"));
    s.setValue(key, value);
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace tavelo
