#include "volume/KeptFigure.h"

#include <cmath>

ByteMap figureMap(const QImage& canvas, float cellSize)
{
    return ShadowView::darkMap(canvas, ShadowView::resolutionFor(cellSize), cellSize, 100, 100, 100);
}

double keptFigure(const ByteMap& shadow, const ByteMap& figure)
{
    if (shadow.first() != figure.first() || shadow.second() != figure.second())
        return 0.0;
    long both = 0, either = 0;
    for (int c = 0; c < shadow.first(); ++c) {
        const std::uint8_t* s = shadow.column(c);
        const std::uint8_t* f = figure.column(c);
        for (int r = 0; r < shadow.second(); ++r) {
            both += (s[r] && f[r]) ? 1 : 0;
            either += (s[r] || f[r]) ? 1 : 0;
        }
    }
    return either == 0 ? 1.0 : double(both) / double(either);
}

KeptValues keptFigures(const ShadowObject& master, const FigureMaps& figures)
{
    KeptValues kept{0, 0, 0};
    for (int k = 0; k < 3; ++k)
        kept[std::size_t(k)] = keptFigure(master.castShadow(master.viewModes()[std::size_t(k)]), figures[std::size_t(k)]);
    return kept;
}

ViewFigures viewFigures(const std::array<QImage, 3>& canvases, float cellSize)
{
    ViewFigures figures;
    for (std::size_t k = 0; k < 3; ++k) {
        figures.maps[k] = figureMap(canvases[k], cellSize);
        figures.cover[k] = figureCover(canvases[k], cellSize);
    }
    return figures;
}

KeptValues keptOnCanvas(const ShadowObject& master, const ViewFigures& figures)
{
    KeptValues kept{0, 0, 0};
    const int n = master.sizeX();
    for (std::size_t k = 0; k < 3; ++k) {
        const std::vector<float>& cover = figures.cover[k];
        if (cover.size() != std::size_t(n) * n)
            continue;
        const ByteMap shadow = master.castShadow(master.viewModes()[k]);
        double both = 0, either = 0;
        for (std::size_t p = 0; p < cover.size(); ++p) {
            either += cover[p];
            if (shadow.at(int(p) / n, int(p) % n)) {
                both += cover[p];
                either += 1.0 - cover[p];
            }
        }
        kept[k] = either <= 0 ? 1.0 : both / either;
    }
    return kept;
}

void recordShadows(ShadowObject& master)
{
    for (int k = 0; k < 3; ++k)
        if (master.viewModes()[std::size_t(k)] != NO_VIEW)
            master.create_reprojection_image_map(k, master.viewModes()[std::size_t(k)]);
}


bool BestPass::offer(const ShadowObject& master, int pass)
{
    const KeptValues kept = keptOnCanvas(master, _figures);
    if (_pass >= 0 && !(worstKept(kept) > worstKept(_kept)))
        return false;
    _pass = pass;
    _kept = kept;
    _n = master.sizeX();
    const auto& cells = master.grid().cells();
    _cells.resize(cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i)
        _cells[i] = cells[i].occupied ? 1 : 0;
    return true;
}

bool BestPass::restore(ShadowObject& master) const
{
    if (_pass < 0 || master.sizeX() != _n || master.grid().cells().size() != _cells.size())
        return false;
    std::size_t i = 0;
    for (int x = 0; x < _n; ++x)
        for (int y = 0; y < _n; ++y)
            for (int z = 0; z < _n; ++z, ++i)
                master.setOccupied({x, y, z}, _cells[i] != 0);
    recordShadows(master);
    return true;
}

std::vector<float> figureCover(const QImage& canvas, float cellSize)
{
    const int n = ShadowView::resolutionFor(cellSize);
    const QImage rgb = canvas.convertToFormat(QImage::Format_RGB32);
    const auto edge = [&](int i) {
        return std::min({rgb.width(), rgb.height(), int(std::ceil(double(i) * cellSize - 0.5))});
    };
    std::vector<float> cover(std::size_t(n) * n, 0.0f);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            int dark = 0, all = 0;
            for (int v = edge(j); v < edge(j + 1); ++v) {
                const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(v));
                for (int u = edge(i); u < edge(i + 1); ++u) {
                    ++all;
                    dark += (qRed(line[u]) < 100 && qGreen(line[u]) < 100 && qBlue(line[u]) < 100) ? 1 : 0;
                }
            }
            cover[std::size_t(i) * n + j] = all == 0 ? 0.0f : float(dark) / float(all);
        }
    return cover;
}
