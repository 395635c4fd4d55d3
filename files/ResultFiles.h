#pragma once
// The files the workflow writes besides scene files and prints: the
// deformation's result pictures and meshes, the comparison pictures, the
// volume's contoured and cube meshes, the point-light design's meshes and
// pictures, and the example sculpture's models and POV-Ray scene. Every
// writer returns the status line to show; nothing changes the design except
// loadAndCompute.

#include "surface/Result.h"
#include "surface/TriMesh.h"

#include <QImage>
#include <QString>

#include <array>

class DesignSession;
struct CleanUp;

// ---- the deformation's results (below `folder`, normally "./Models/Images") ----------------
// The deformed pictures, black on white: "ex1.png" ... "ex3.png".
Report saveTestPictures(const DesignSession& session, const QString& folder);
// The volume's shadows: "dumpFolder/result_image_100.png" ...
Report saveResultPictures(const DesignSession& session, const QString& folder);
// A numbered save of the picture meshes, their outlines and the comparisons
// ("dumpFolder/save_..."), the number counting up from 100 in a session.
Report saveResultMeshes(DesignSession& session, const QString& folder);
// A volume carved directly from the pictures of save number 104; the
// pictures used go to `pictures`.
Report loadAndCompute(DesignSession& session, const QString& folder, std::array<QImage, 3>* pictures = nullptr);
// The deformed pictures, black on white and 250 wide: folder + "/deformed0.png" ...
Report saveDeformedPictures(const DesignSession& session, const QString& folder);
// The comparison pictures, 250 wide: folder + "/x_image.png", "/y_image.png", "/z_image.png".
Report saveComparisonPictures(const DesignSession& session, const QString& folder);

// ---- the volume's meshes --------------------------------------------------------------------
// The edit panel's "save contoured mesh": the interpolation named `modeName`
// (an entry of the list, else "strange mode selected!!"), factor 2, written
// to folder + "/smoothed_edited_mesh.obj".
Report saveContouredMesh(const DesignSession& session, const QString& folder, const QString& modeName, float iso);
// After making the volume one component: the centroids of its pieces
// ("cluster_centroid.vtx", one "x<TAB>y<TAB>z" line each) and its cube mesh
// ("shadow_mesh.obj") in `folder`.
Report saveComponentFiles(DesignSession& session, const CleanUp& cleaned, const QString& folder);
// Any mesh as OBJ, its folder made first.
Report saveMesh(const TriMesh& mesh, const QString& path);
// Any picture, its format from the extension, its folder made first.
Report savePicture(const QImage& picture, const QString& path);
// The boundary of a planar mesh file as a page: FILE.obj -> FILE_bdy.ps at
// the origin (200, 254.52). Returns the drawing's path.
Result<QString> saveMeshBoundary(const QString& objPath);

// ---- point lights (below folder + "/cartoons/perspective/print/dumpFolder") ---------------
Report savePointLightMesh(const DesignSession& session, const QString& folder);
// The volume contoured with `mode` at `iso` (factor 2): "perpectiveSmoothMesh.obj".
Report savePointLightSmoothMesh(const DesignSession& session, const QString& folder, int mode, float iso);
// The deformed pictures and their meshes ("persDeformed0.png", "persDeformedMesh0.obj", ...).
Report savePointLightPictures(const DesignSession& session, const QString& folder);
// kalvex-cli's results: "volume.kxscene", "mask0.png" ..., "hull.obj" in `folder`.
Report savePointLightResults(const DesignSession& session, const QString& folder);

// ---- the example sculpture -------------------------------------------------------------------
// One OBJ per kept placement below folder + "/exampleBasedResults/".
Report saveExampleMeshes(const DesignSession& session, const QString& folder);
// folder + "/current_scene.pov" and its mesh file.
Report saveExamplePovScene(const DesignSession& session, const QString& folder);
