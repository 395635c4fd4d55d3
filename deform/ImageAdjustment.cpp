#include "deform/ImageAdjustment.h"

#include "deform/DeformationModel.h"
#include "volume/Comparison.h"
#include "volume/DarkPixelSearch.h"
#include "volume/RayCost.h"

#include <QElapsedTimer>

#include <algorithm>
#include <deque>

bool isSupportedSetup(int thirdMode)
{
    return thirdMode == Z_PROJECTION || thirdMode == FortyFive_PROJECTION || thirdMode == OneTwenty_PROJECTION;
}

PixelList markComponentToBeProcessed(const QImage& comparison, ShadowView& view, int minSize)
{
    return markComponentToBeProcessed(comparison, view._gray_and_not_treated, minSize);
}

PixelList markComponentToBeProcessed(const QImage& comparison, ByteMap& untreated, int minSize)
{
    if (comparison.isNull())
        return {};
    QImage work = comparison.convertToFormat(QImage::Format_RGB32);  // pixels of a region are blacked out
    const int width = work.width();
    const int height = work.height();
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


void repairRegion(const PixelList& region, int v, const std::vector<ShadowView*>& views, float threshold,
                  std::array<RequestList, 3>& requests)
{
    if (region.empty())
        return;
    const int n = views[v]->resolution();
    const int mode = views[v]->_projection_mode;
    const OtherViews others = otherViews(views, v);
    for (const Pixel& pixel : region) {
        const RayChoice best = cheapestRayCell(mode, n, pixel, others);
        if (!best.found() || best.cost > threshold)
            continue;
        const CellIndex& c = best.cell;
        for (int k = 0; k < 2; ++k) {
            ShadowView& view = *others.view[k];
            if (view.distance(c.x, c.y, c.z) == 0.0f)
                continue;
            view.zeroDistance(c);
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

void snapToHandles(ShadowView& view, const RequestList& requests, std::vector<point>& sources,
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

Result<AdjustmentStats> adjustImages(const std::vector<ShadowView*>& views, const std::array<QImage, 3>& comparisons,
                                     const std::array<DeformationModel*, 3>& pictures,
                                     const AdjustParameters& parameters)
{
    AdjustmentStats stats;
    if (views.size() != 3 || !isSupportedSetup(views[2]->_projection_mode))
        return fail(QStringLiteral("adjustImages_released: unhandled case"));

    QElapsedTimer timer;
    timer.start();
    const float threshold = float(parameters.distance * parameters.distance);
    std::array<RequestList, 3> requests;
    for (int i = 0; i < parameters.loopCount; ++i) {
        const int slot = comparisonSlot(views[i % 3]->_projection_mode);
        const PixelList region = markComponentToBeProcessed(comparisons[slot], *views[slot], parameters.minSize);
        repairRegion(region, slot, views, threshold, requests);
    }
    stats.repairMs = timer.nsecsElapsed() / 1e6;
    timer.restart();

    for (int k = 0; k < 3; ++k) {
        std::vector<point> sources, targets;
        snapToHandles(*views[k], requests[k], sources, targets);
        stats.handles[k] = static_cast<int>(sources.size());
        DeformationModel* model = pictures[k];
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
