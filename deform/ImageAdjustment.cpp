#include "deform/ImageAdjustment.h"

#include "deform/Comparison.h"
#include "deform/DeformationModel.h"
#include "volume/DarkPixelSearch.h"
#include "volume/RayCost.h"

#include <QElapsedTimer>

#include <algorithm>
#include <deque>

int comparisonSlot(int mode)
{
    switch (mode) {
    case X_PROJECTION: return 0;
    case Y_PROJECTION:
    case Sixty_PROJECTION: return 1;
    case Z_PROJECTION:
    case FortyFive_PROJECTION:
    case OneTwenty_PROJECTION: return 2;
    default: return -1;
    }
}

bool isSupportedSetup(int thirdMode)
{
    return thirdMode == Z_PROJECTION || thirdMode == FortyFive_PROJECTION || thirdMode == OneTwenty_PROJECTION;
}

PixelList markComponentToBeProcessed(int n, const QImage& shownComparison, ShadowObject& view, int minSize)
{
    if (shownComparison.isNull())
        return {};
    QImage work = shownComparison.scaledToWidth(n, Qt::FastTransformation).convertToFormat(QImage::Format_RGB32);
    const int width = work.width();
    const int height = work.height();
    ByteMap& untreated = view._gray_and_not_treated;
    auto isCandidate = [&](int c, int r) {
        return work.pixel(c, r) == ComparisonColor::Missing && untreated.get(c, r) == 1;
    };

    PixelList best;
    std::deque<Pixel> queue;
    // Seeds in column-major order; pixels before the current seed are all
    // treated or not orange, so the scan simply goes on after each region.
    for (int c = 0; c < width; ++c) {
        for (int r = 0; r < height; ++r) {
            if (!isCandidate(c, r))
                continue;
            PixelList region;
            queue.push_back({c, r});
            while (!queue.empty()) {
                const Pixel p = queue.front();
                queue.pop_front();
                region.push_back(p);
                if (p.column < untreated.first() && p.row < untreated.second())
                    untreated.at(p.column, p.row) = 0;
                for (int dc = -1; dc <= 1; ++dc)
                    for (int dr = -1; dr <= 1; ++dr) {
                        const int qc = p.column + dc, qr = p.row + dr;
                        if (qc < 0 || qr < 0 || qc >= width || qr >= height || !isCandidate(qc, qr))
                            continue;
                        work.setPixel(qc, qr, ComparisonColor::Shadow);  // enqueued once
                        queue.push_back({qc, qr});
                    }
            }
            if (static_cast<int>(region.size()) >= minSize && region.size() > best.size())
                best = std::move(region);
        }
    }
    return best;
}


void repairRegion(const PixelList& region, int v, const std::vector<ShadowObject*>& views, float threshold,
                  std::array<RequestList, 3>& requests)
{
    if (region.empty())
        return;
    const int n = views[v]->_size_x;
    const int mode = views[v]->_projection_mode;
    const OtherViews others = otherViews(views, v);
    for (const Pixel& pixel : region) {
        const RayChoice best = cheapestRayCell(mode, n, pixel, others);
        if (!best.found() || best.cost > threshold)
            continue;
        const CellIndex& c = best.cell;
        for (int k = 0; k < 2; ++k) {
            Cell& cell = others.view[k]->cellAt(c.x, c.y, c.z);
            if (cell.distance == 0.0f)
                continue;
            cell.distance = 0.0f;
            const Pixel p = pixelOfCell(others.mode[k], c.x, c.y, c.z);
            requests[others.index[k]].push_back(point(float(p.column), float(p.row), 0.0f));
        }
    }
}

RequestList withoutRepeats(const RequestList& requests)
{
    RequestList kept;
    for (std::size_t i = 0; i < requests.size(); ++i)
        if (i == 0 || !(requests[i] == requests[i - 1]))
            kept.push_back(requests[i]);
    return kept;
}

void snapToHandles(ShadowObject& view, const RequestList& requests, std::vector<point>& sources,
                   std::vector<point>& targets)
{
    const RequestList kept = withoutRepeats(requests);
    DarkPixelSearch& search = view.nearestDarkPixel();
    for (const point& request : kept) {
        const DarkPixelSearch::Result nearest = search.nearest(request[0], request[1]);
        if (nearest.index < 0)
            continue;
        sources.push_back(point(float(nearest.column), float(nearest.row), 0.0f));
        targets.push_back(request);
    }
}

AdjustmentStats adjustImages(ShadowObject& master, const std::vector<ShadowObject*>& views,
                             const std::function<QImage(int)>& shownComparison, const AdjustParameters& parameters)
{
    AdjustmentStats stats;
    if (views.size() < 3)
        return stats;
    if (!isSupportedSetup(views[2]->_projection_mode))
        exitOnImpossibleState("adjustImages_released: unhandled case");

    QElapsedTimer timer;
    timer.start();
    const float threshold = float(parameters.distance * parameters.distance);
    std::array<RequestList, 3> requests;
    for (int i = 0; i < parameters.loopCount; ++i) {
        const int slot = comparisonSlot(views[i % 3]->_projection_mode);
        const PixelList region =
            markComponentToBeProcessed(master.resolution(), shownComparison(slot), *views[slot], parameters.minSize);
        repairRegion(region, slot, views, threshold, requests);
    }
    stats.repairMs = timer.nsecsElapsed() / 1e6;
    timer.restart();

    for (int k = 0; k < 3; ++k) {
        std::vector<point> sources, targets;
        snapToHandles(*views[k], requests[k], sources, targets);
        stats.handles[k] = static_cast<int>(sources.size());
        DeformationModel* model = views[k]->_deform_image;
        if (sources.empty() || !model)
            continue;
        // Map pixels to pixels of the 200-pixel-wide picture.
        const float s = views[k]->_cell_size * 200.0f / 250.0f;
        for (point& p : sources)
            p *= s;
        for (point& p : targets)
            p *= s;
        model->deform(sources, targets);
        if (parameters.preserveShape)
            model->preserve_shape();
    }
    stats.deformMs = timer.nsecsElapsed() / 1e6;
    return stats;
}

std::vector<int> progressValues(int passes)
{
    std::vector<int> values;
    if (passes <= 0)
        return values;
    const float step = 100.0f / float(passes);
    float progress = std::max(step * 0.5f, 2.0f);
    for (int i = 0; i < passes; ++i) {
        values.push_back(static_cast<int>(progress));
        progress = std::min(progress + step, 100.0f);
    }
    return values;
}
