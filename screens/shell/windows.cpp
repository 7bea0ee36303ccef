#include "windows.h"

#include <array>
#include <utility>
#include <vector>

namespace tavelo {

namespace {

constexpr std::array<std::pair<WindowId, const char *>, 16> kObjectNames{{
    {WindowId::Entrada, "Entrada"},
    {WindowId::About, "frmAbout"},
    {WindowId::Options, "Form1"},
    {WindowId::StandData, "Form2"},
    {WindowId::UnthinnedDensity, "Form3"},
    {WindowId::ThinnedDensity, "Form4"},
    {WindowId::StandStructure, "Form5"},
    {WindowId::Thinning, "Form6"},
    {WindowId::AfterThinning, "form7"},
    {WindowId::StandCharts, "Form8"},
    {WindowId::ThinningChart, "Form9"},
    {WindowId::Summary, "Form10"},
    {WindowId::End, "Terminar"},
    {WindowId::Economics, "frmEconomia"},
    {WindowId::Inventory, "frmInventario"},
    {WindowId::Carbon, "frmCarbono"},
}};

} // namespace

QString objectNameOf(WindowId id)
{
    for (const auto &[w, name] : kObjectNames)
        if (w == id)
            return QLatin1String(name);
    return {};
}

std::optional<WindowId> windowNamed(const QString &objectName)
{
    for (const auto &[w, name] : kObjectNames)
        if (objectName == QLatin1String(name))
            return w;
    return std::nullopt;
}

MissingWindowError::MissingWindowError(WindowId id)
    : std::logic_error("no window is registered as " + objectNameOf(id).toStdString())
{
}

void Windows::registerFactory(WindowId id, Factory factory)
{
    factories_[id] = std::move(factory);
}

QWidget *Windows::get(WindowId id) const
{
    const auto it = loaded_.find(id);
    return it == loaded_.end() ? nullptr : it->second.data();
}

QWidget *Windows::load(WindowId id)
{
    if (QWidget *w = get(id))
        return w;
    const auto f = factories_.find(id);
    if (f == factories_.end())
        throw MissingWindowError(id);
    QWidget *w = f->second(ctx_);
    if (!w)
        return nullptr;
    w->setObjectName(objectNameOf(id));
    w->setAttribute(Qt::WA_DeleteOnClose, true);
    loaded_[id] = w;
    return w;
}

QWidget *Windows::show(WindowId id)
{
    QWidget *w = load(id);
    if (!w)
        return nullptr;
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

void Windows::hide(WindowId id)
{
    if (QWidget *w = get(id))
        w->hide();
}

void Windows::unload(WindowId id)
{
    const auto it = loaded_.find(id);
    if (it == loaded_.end())
        return;
    const QPointer<QWidget> w = it->second;
    loaded_.erase(it);
    if (w) {
        w->hide();
        w->deleteLater();
    }
}

void Windows::unloadAllExcept(WindowId id)
{
    std::vector<WindowId> others;
    for (const auto &[w, window] : loaded_)
        if (w != id)
            others.push_back(w);
    for (WindowId w : others)
        unload(w);
}

void Windows::hide(QWidget *window)
{
    if (const auto id = windowNamed(window->objectName()); id && get(*id) == window)
        hide(*id);
    else
        window->hide();
}

void Windows::unload(QWidget *window)
{
    if (const auto id = windowNamed(window->objectName()); id && get(*id) == window)
        unload(*id);
}

QWidget *Windows::named(const QString &objectName) const
{
    const auto id = windowNamed(objectName);
    return id ? get(*id) : nullptr;
}

QStringList Windows::loadedNames() const
{
    QStringList names;
    for (const auto &[id, w] : loaded_)
        if (w)
            names << objectNameOf(id);
    return names;
}

} // namespace tavelo
