// Picture deformation on a picture mesh of about 3,200 vertices: meshing the
// picture, shape preservation (which renders), rendering alone and
// displacement by 200 handles.
#include "deform/DeformationModel.h"
#include "deform/PictureMesher.h"

#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

constexpr float kSpacing = 1.8f;  // about 3,200 vertices on the disc below
constexpr int kHandles = 200;

QImage disc_picture()
{
    QImage picture(250, 250, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPointF(125, 125), 115, 115);
    return picture;
}

const TriMesh& disc_mesh()
{
    static const TriMesh mesh = [] {
        TriMesh m = PictureMesher(disc_picture(), kSpacing).mesh();
        remove_unused_vertices(&m);
        return m;
    }();
    return mesh;
}

// Handles on every n-th vertex, each pulled by (3, -2) pixels.
void make_handles(std::vector<point>& sources, std::vector<point>& targets)
{
    const std::vector<point>& v = disc_mesh().vertices;
    const size_t step = v.size() / kHandles;
    for (size_t i = 0; i < kHandles; ++i) {
        sources.push_back(v[i * step]);
        targets.push_back(v[i * step] + point(3, -2, 0));
    }
}

DeformationModel model_at_rest()
{
    DeformationModel model;
    model.set_image_mesh(disc_mesh(), disc_mesh().vertices, {});
    return model;
}

void BM_PictureToMesh(benchmark::State& state)
{
    const QImage picture = disc_picture();
    for (auto _ : state)
        benchmark::DoNotOptimize(PictureMesher(picture, kSpacing).mesh());
    state.counters["vertices"] = double(disc_mesh().vertices.size());
}
BENCHMARK(BM_PictureToMesh)->Unit(benchmark::kMillisecond);

void BM_Deform(benchmark::State& state)
{
    std::vector<point> sources, targets;
    make_handles(sources, targets);
    DeformationModel model = model_at_rest();
    for (auto _ : state)
        model.deform(sources, targets);
    state.counters["vertices"] = double(disc_mesh().vertices.size());
    state.counters["kept_handles"] = double(DeformationModel::filter_handles(sources).size());
}
BENCHMARK(BM_Deform)->Unit(benchmark::kMillisecond);

void BM_PreserveShape(benchmark::State& state)
{
    std::vector<point> sources, targets;
    make_handles(sources, targets);
    DeformationModel model = model_at_rest();
    model.deform(sources, targets);
    const std::vector<point> deformed = model._image_mesh.vertices;
    for (auto _ : state) {
        state.PauseTiming();
        model._image_mesh.vertices = deformed;
        model._preserve_steps = 0;
        state.ResumeTiming();
        model.preserve_shape();
    }
    state.counters["vertices"] = double(deformed.size());
}
BENCHMARK(BM_PreserveShape)->Unit(benchmark::kMillisecond);

void BM_Render(benchmark::State& state)
{
    DeformationModel model = model_at_rest();
    for (auto _ : state)
        model.render();
    state.counters["faces"] = double(disc_mesh().faces.size());
}
BENCHMARK(BM_Render)->Unit(benchmark::kMillisecond);

}  // namespace
