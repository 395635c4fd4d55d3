#pragma once
// What each libFuzzer harness checks for one input. The harnesses trap when a
// check fails; the core tests replay the inputs the fuzzers once failed on
// (fuzz/regressions/<harness>/) through the same checks. A check returns
// false for a fault that is not a crash (a crash shows by itself).
#include "deform/DeformationModel.h"
#include "deform/PictureMesher.h"
#include "surface/TriMesh.h"
#include "volume/Figure.h"
#include "volume/Placement.h"
#include "volume/ShadowObject.h"
#include "volume/ShadowView.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

namespace fuzz_checks {

// The picture readers warn about every broken file; at thousands of files a
// second that is only noise.
inline void silenceQtMessages()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

inline bool facesIndexVertices(const TriMesh& mesh)
{
    return std::all_of(mesh.faces.begin(), mesh.faces.end(), [&](const TriMesh::Face& f) {
        for (int k = 0; k < 3; ++k)
            if (f[k] < 0 || f[k] >= static_cast<int>(mesh.vertices.size()))
                return false;
        return true;
    });
}

// Scene files: any bytes are refused with one line or give a volume whose
// shadows and counts work.
inline bool sceneReader(const std::uint8_t* data, std::size_t size)
{
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    buffer.open(QIODevice::ReadOnly);
    ShadowObject volume;
    const Result<void> read = volume.readScene(buffer);
    if (!read.ok())
        return !read.error().isEmpty() && !read.error().contains(QLatin1Char('\n'));
    volume.areShadowsStillValid(true, true);
    countOccupiedCells(volume);
    return true;
}

// Mesh files (OBJ, OFF, PLY, ASC; the first byte picks the format): a mesh
// that is read holds only faces that index its vertices.
inline bool meshReader(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return true;
    static const char* const kExtensions[4] = {".obj", ".off", ".ply", ".asc"};
    const std::string path = "/tmp/kalvex-fuzz-mesh-" + std::to_string(getpid()) + kExtensions[data[0] % 4];
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, file);
        std::fclose(file);
    }
    const std::unique_ptr<TriMesh> mesh(TriMesh::read(path.c_str()));
    std::remove(path.c_str());
    if (!mesh)
        return true;
    if (!facesIndexVertices(*mesh))
        return false;
    mesh->need_neighbors();
    mesh->need_normals();
    return true;
}

// Pictures as deformable meshes: any picture up to 256 pixels a side turns
// into a picture mesh whose faces index its vertices, or into nothing
// (larger ones are left out to keep runs fast).
inline bool pictureMesher(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize dimensions = reader.size();
    if (!dimensions.isValid() || dimensions.width() > 256 || dimensions.height() > 256)
        return true;
    const QImage picture = reader.read();
    if (picture.isNull())
        return true;
    const TriMesh mesh = PictureMesher(picture, 3.0f).mesh();
    if (!facesIndexVertices(mesh))
        return false;
    DeformationModel model;
    model.set_image_mesh(mesh, mesh.vertices, {});
    model.preserve_shape();
    return true;
}

// Picture files as figures: the first byte picks the threshold (0 automatic,
// b for b - 1 by hand) and the cell size, the rest is the file. A picture is
// refused with one line or gives a figure of its own size that is not
// empty, nor everything unless the whole picture is dark, and that figure becomes an N x N dark map through the
// canvas, placed as a design places it by default. Pictures within the size limits but over
// 512 pixels a side are left out to keep runs fast (the fuzzer otherwise
// grows every JPEG to half a megapixel); larger claims go in, as their
// refusal comes from the header.
inline bool pictureFigure(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return true;
    const FigureOptions options{int(data[0]) - 1};
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));
    buffer.open(QIODevice::ReadOnly);
    {
        QImageReader probe(&buffer);
        const QSize claimed = probe.size();
        const bool refused = claimed.width() > FigureLimits::maxSide || claimed.height() > FigureLimits::maxSide ||
                             (long long)claimed.width() * claimed.height() > FigureLimits::maxPixels;
        if (claimed.isValid() && !refused && (claimed.width() > 512 || claimed.height() > 512))
            return true;
        buffer.seek(0);
    }
    const Result<Figure> result = readFigure(buffer, QStringLiteral("fuzz input"), options);
    if (!result.ok())
        return !result.error().isEmpty() && !result.error().contains(QLatin1Char('\n'));
    const Figure& figure = result.value();
    const std::size_t pixels = std::size_t(figure.width) * std::size_t(figure.height);
    if (figure.width < FigureLimits::minSide || figure.height < FigureLimits::minSide ||
        figure.width > FigureLimits::maxSide || figure.height > FigureLimits::maxSide ||
        figure.mask.size() != pixels || figure.count() <= 0 ||
        (std::size_t(figure.count()) == pixels && figure.rule != FigureRule::DarkRule))
        return false;
    if ((figure.rule == FigureRule::Threshold) != (options.threshold >= 0) || figure.extraction().isEmpty())
        return false;
    const int extent = ShadowView::kImageExtent;
    const Result<QImage> canvas = placeFigure(figure, Placement{});
    if (!canvas.ok() || canvas.value().width() != extent || canvas.value().height() != extent)
        return false;
    const float cellSize = float(1 + data[0] % 8);
    const int n = ShadowView::resolutionFor(cellSize);
    const ByteMap map = ShadowView::darkMap(canvas.value(), n, cellSize, 100, 100, 100);
    return map.first() == n && map.second() == n;
}

}  // namespace fuzz_checks
