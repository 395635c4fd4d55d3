#pragma once
// A wall (or floor) the 3-D view draws behind the volume, with a picture on
// it: normally the shadow the volume casts along one projection direction.
// Everything is in scene units, the coordinates of the drawn object (the
// volume's cube mesh after the view centred and scaled it), so the wall turns
// and zooms with the volume.

#include <QImage>
#include <QVector3D>

#include <vector>

struct ShadowWall {
    QImage picture;     // its top-left pixel at `origin`; null: a plain wall
    QVector3D origin;   // top-left corner of the picture
    QVector3D across;   // the picture's top edge, left to right
    QVector3D down;     // the picture's left edge, top to bottom
    // The wall itself: a convex polygon in the picture's plane, inside the
    // picture's rectangle, its corners in order (either way round). It is
    // seen from the side where the picture reads unmirrored; from behind it
    // is not drawn, so it never hides the volume in front of it.
    std::vector<QVector3D> outline;
};
