#pragma once
// Helpers shared by the volume tests: views made from in-memory pictures, an
// empty master of a given size, occupied cells, the bundled pictures, and
// debug-line capture.

#include "volume/ShadowObject.h"

#include <QLoggingCategory>
#include <QString>
#include <QStringList>

#include <array>
#include <initializer_list>
#include <vector>

namespace volume_test {

inline QString bundledPicture(const char* relative)
{
    return QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/") + QLatin1String(relative);
}

// A view of `picture` in `mode`, quantised with the limits (100, 100, 100).
inline ShadowView quantizedView(const QImage& picture, int mode, float cellSize,
                                DistanceMethod method = DistanceMethod::DistanceTransform)
{
    ShadowView view(picture, QString(), mode, cellSize);
    view.quantize(100, 100, 100, false, method);
    return view;
}

// A master of N = floor(250 / cellSize) with every cell free and the given
// view modes (no view objects behind them).
inline ShadowObject emptyMaster(float cellSize, const std::array<int, 3>& modes)
{
    ShadowObject master(cellSize);
    master.setViewModes(modes);
    return master;
}

inline void occupy(ShadowObject& volume, std::initializer_list<CellIndex> cells)
{
    for (const CellIndex& c : cells)
        volume.setOccupied(c, true);
}

// Collects the debug output while alive; with `diagnostics`, the volume's
// diagnostic lines (off by default) are switched on meanwhile.
class DebugCapture {
public:
    explicit DebugCapture(bool diagnostics = true) : _previous(qInstallMessageHandler(&DebugCapture::handle))
    {
        _active = this;
        if (diagnostics)
            QLoggingCategory::setFilterRules(QStringLiteral("kalvex.volume.debug=true"));
    }
    ~DebugCapture()
    {
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(_previous);
        _active = nullptr;
    }
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    QStringList lines;

private:
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        if (_active)
            _active->lines << message;
    }

    static inline DebugCapture* _active = nullptr;
    QtMessageHandler _previous;
};

}  // namespace volume_test
