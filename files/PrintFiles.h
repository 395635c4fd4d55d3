#pragma once
// Printable files: the sculpture as binary STL or 3MF (by the extension of
// the path) with the design's scene file beside it.

#include "session/Printing.h"
#include "surface/Result.h"

#include <QString>
#include <QStringList>

#include "files/SceneFiles.h"

class DesignSession;

// "stl" or "3mf" for a path ending in either (any case), else "".
QString printExtension(const QString& path);

// Writes the sculpture and the scene file beside it, only when the mesh is
// closed, manifold and one part; otherwise says what is wrong and writes nothing.
Report exportSculpture(const DesignSession& session, const QString& path, const SculptureOptions& options,
                       const ScenePictures& pictures);
// The same for a sculpture made already (kalvex-cli shows its figures first).
Report exportSculpture(const DesignSession& session, const Sculpture& sculpture, const QString& path,
                       const ScenePictures& pictures);
// The sculpture in several files (each .stl or .3mf) and the scene beside
// them written once (one per distinct name before the extension). The files
// are written side by side: a 3MF packs on a thread of its own.
Report exportSculpture(const DesignSession& session, const Sculpture& sculpture, const QStringList& paths,
                       const ScenePictures& pictures);
// The example sculpture, turned and sized the same way, with the scene file
// beside it. Its models overlap, so it is no single manifold part; the line
// says how many it holds.
Report exportExampleSculpture(const DesignSession& session, const QString& path, float sizeMm,
                              const ScenePictures& pictures);
