#pragma once

// The inventory window's map: each stand's outline filled with its colour, the
// picked stand outlined in red. The wheel zooms about the pointer, dragging
// pans. Outlines thin out and vanish as the stands grow small on screen, so
// that tens of thousands of small stands still show their colours.

#include "inventory/inventory_source.h"

#include <QColor>
#include <QGraphicsView>
#include <QPainterPath>
#include <QString>

#include <vector>

class QGraphicsPathItem;
class QGraphicsScene;

namespace tavelo {

// A stand as the map draws it; an empty path: no geometry.
struct MapOutline {
    QString id;
    QPainterPath path;
};

// The outline of a stand's geometry (polygons with their holes; points and
// lines a small square each). Needs no window: a worker may build them.
QPainterPath outlineOf(const StandGeometry &geometry);

class StandMapView : public QGraphicsView {
    Q_OBJECT
public:
    explicit StandMapView(QWidget *parent);
    ~StandMapView() override;

    // Draws these stands (by stand index) in place of the ones drawn, in the
    // colour of a stand without a value, and fits them in view.
    void setOutlines(const std::vector<MapOutline> &stands);
    size_t standCount() const { return shapes_.size(); }
    // The fill of each stand, by stand index; stands beyond `colours` keep theirs.
    void setColours(const std::vector<QColor> &colours);
    // Highlights stand `stand` (-1: none) and brings it into view, without standPicked.
    void pick(int stand);
    int picked() const { return picked_; }
    // The shape of stand `stand`, or nullptr (no such stand, or no geometry).
    QGraphicsPathItem *shape(int stand) const;
    void fit();

signals:
    // The user clicked a stand (-1: the empty map).
    void standPicked(int stand);

protected:
    void wheelEvent(QWheelEvent *event) override;

private:
    void selectionChanged();

    QGraphicsScene *scene_ = nullptr;
    std::vector<QGraphicsPathItem *> shapes_; // by stand, nullptr without geometry
    int picked_ = -1;
    bool picking_ = false; // the selection is being set by pick(), not by the user
};

} // namespace tavelo
