#pragma once
// Scene files (".kxscene"): the volume with its cell size and view modes,
// and beside it the companion pictures base + "_origx.png" ... "_imgz.png"
// and the pictures' placements on the canvas, base + "_placement.txt" (one
// line per view, as placementsText writes them; absent: none moved).

#include "surface/Result.h"

#include <QImage>
#include <QString>

#include <array>

class DesignSession;
struct SceneData;

// The three pictures as loaded, then the three as deformed (null where there is none).
using ScenePictures = std::array<QImage, 6>;

// The base of a scene path: everything before its last dot.
QString sceneBase(const QString& path);

// Writes the design's volume to `path` and the companions beside it.
Report saveScene(const DesignSession& session, const QString& path, const ScenePictures& pictures);

// A volume and its companion pictures, written beside each other.
Report writeSceneFiles(const QString& path, const SceneData& scene, const ScenePictures& pictures);
// The companion pictures found beside a scene file (null where there is none).
ScenePictures readScenePictures(const QString& path);

// Replaces the design by the volume of a scene file (no pictures behind it);
// the companions found beside it go to `pictures`, the placements to the
// session. A bad scene or placement file is refused with one line and
// changes nothing.
Report openScene(DesignSession& session, const QString& path, ScenePictures* pictures = nullptr);
