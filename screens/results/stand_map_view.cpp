#include "stand_map_view.h"

#include "colour_classes.h"

#include <ogr_geometry.h>

#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <memory>

namespace tavelo {

namespace {

void addRing(QPainterPath &path, const OGRLinearRing *ring)
{
    if (!ring || ring->getNumPoints() == 0)
        return;
    path.moveTo(ring->getX(0), ring->getY(0));
    for (int i = 1; i < ring->getNumPoints(); ++i)
        path.lineTo(ring->getX(i), ring->getY(i));
    path.closeSubpath();
}

void addPolygon(QPainterPath &path, const OGRPolygon *polygon)
{
    addRing(path, polygon->getExteriorRing());
    for (int i = 0; i < polygon->getNumInteriorRings(); ++i)
        addRing(path, polygon->getInteriorRing(i));
}

// A stand's shape: its outline is drawn only when the stand is large enough on
// screen for the line not to hide its colour.
class StandShape : public QGraphicsPathItem {
public:
    StandShape(const QPainterPath &path, int stand) : QGraphicsPathItem(path)
    {
        setFlag(QGraphicsItem::ItemIsSelectable);
        setData(0, stand);
        QPen pen(QColor(60, 60, 60));
        pen.setCosmetic(true);
        setPen(pen);
        setBrush(noValueColour());
    }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        const QRectF box = path().boundingRect();
        const double pixels =
            QStyleOptionGraphicsItem::levelOfDetailFromTransform(painter->worldTransform()) *
            std::min(box.width(), box.height());
        QPen line = pen();
        if (isSelected()) {
            line = QPen(QColor(220, 30, 30), 3);
            line.setCosmetic(true);
        } else if (pixels < 6) {
            line = Qt::NoPen;
        } else if (pixels < 24) {
            line.setColor(QColor(60, 60, 60, 80)); // a faint line between small stands
        }
        painter->setPen(line);
        painter->setBrush(brush());
        painter->drawPath(path());
    }
};

} // namespace

QPainterPath outlineOf(const StandGeometry &g)
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    if (g.wkb.empty())
        return path;
    OGRGeometry *geometry = nullptr;
    if (OGRGeometryFactory::createFromWkb(g.wkb.data(), nullptr, &geometry, g.wkb.size()) != OGRERR_NONE ||
        !geometry)
        return path;
    const std::unique_ptr<OGRGeometry> owned(geometry);
    const OGRwkbGeometryType type = wkbFlatten(geometry->getGeometryType());
    if (type == wkbPolygon) {
        addPolygon(path, geometry->toPolygon());
    } else if (type == wkbMultiPolygon) {
        for (const OGRPolygon *p : *geometry->toMultiPolygon())
            addPolygon(path, p);
    } else {
        const double side = std::max({g.maxX - g.minX, g.maxY - g.minY, 1.0});
        path.addRect(QRectF(g.minX, g.minY, side, side));
    }
    return path;
}

StandMapView::StandMapView(QWidget *parent) : QGraphicsView(parent), scene_(new QGraphicsScene(this))
{
    setScene(scene_);
    setDragMode(QGraphicsView::ScrollHandDrag);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setRenderHint(QPainter::Antialiasing);
    // Map coordinates grow northwards.
    setTransform(QTransform::fromScale(1, -1));
    connect(scene_, &QGraphicsScene::selectionChanged, this, &StandMapView::selectionChanged);
}

StandMapView::~StandMapView()
{
    // The scene's items go after the view, unselecting as they go.
    disconnect(scene_, nullptr, this, nullptr);
}

void StandMapView::setOutlines(const std::vector<MapOutline> &stands)
{
    picking_ = true;
    scene_->clear();
    picking_ = false;
    picked_ = -1;
    shapes_.assign(stands.size(), nullptr);
    for (size_t i = 0; i < stands.size(); ++i) {
        if (stands[i].path.isEmpty())
            continue;
        auto *shape = new StandShape(stands[i].path, static_cast<int>(i));
        shape->setToolTip(stands[i].id);
        scene_->addItem(shape);
        shapes_[i] = shape;
    }
    scene_->setSceneRect(scene_->itemsBoundingRect());
    fit();
}

void StandMapView::setColours(const std::vector<QColor> &colours)
{
    for (size_t i = 0; i < shapes_.size() && i < colours.size(); ++i)
        if (shapes_[i])
            shapes_[i]->setBrush(colours[i]);
}

void StandMapView::pick(int stand)
{
    picking_ = true;
    if (QGraphicsPathItem *was = shape(picked_))
        was->setZValue(0);
    scene_->clearSelection();
    picked_ = stand >= 0 && static_cast<size_t>(stand) < shapes_.size() ? stand : -1;
    if (QGraphicsPathItem *s = shape(picked_)) {
        s->setSelected(true);
        s->setZValue(1);
        ensureVisible(s);
    }
    picking_ = false;
}

QGraphicsPathItem *StandMapView::shape(int stand) const
{
    return stand >= 0 && static_cast<size_t>(stand) < shapes_.size() ? shapes_[stand] : nullptr;
}

void StandMapView::selectionChanged()
{
    if (picking_)
        return;
    if (QGraphicsPathItem *was = shape(picked_))
        was->setZValue(0);
    const auto selected = scene_->selectedItems();
    picked_ = selected.isEmpty() ? -1 : selected.first()->data(0).toInt();
    if (QGraphicsPathItem *now = shape(picked_))
        now->setZValue(1);
    emit standPicked(picked_);
}

void StandMapView::fit()
{
    const QRectF all = scene_->itemsBoundingRect();
    if (all.isEmpty())
        return;
    // A margin in proportion, whatever the map's units (metres or degrees).
    const double margin = 0.02 * std::max(all.width(), all.height());
    fitInView(all.marginsAdded(QMarginsF(margin, margin, margin, margin)), Qt::KeepAspectRatio);
}

void StandMapView::wheelEvent(QWheelEvent *event)
{
    const double factor = std::pow(1.0015, event->angleDelta().y());
    scale(factor, factor);
    event->accept();
}

} // namespace tavelo
