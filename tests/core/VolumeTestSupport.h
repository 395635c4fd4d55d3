#pragma once
// Helpers shared by the volume tests: views made from in-memory pictures, an
// empty master of a given size, the bundled pictures, and debug-line capture.

#include "volume/ShadowObject.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace volume_test {

inline QString bundledPicture(const char* relative)
{
    return QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/") + QLatin1String(relative);
}

// A view of `picture` in `mode`, quantised with the limits (100, 100, 100).
inline ShadowObject quantizedView(const QImage& picture, int mode, float cellSize,
                                  DistanceMethod method = DistanceMethod::DistanceTransform)
{
    ShadowObject view(QString(), mode, nullptr, cellSize);
    view._image = picture;
    view.quantize(100, 100, 100, false, method);
    return view;
}

// A master of N = floor(250 / cellSize) with every cell free and the given
// view modes (no view objects behind them).
inline ShadowObject emptyMaster(float cellSize, std::vector<int> modes)
{
    const ShadowObject sizing(QString(), X_PROJECTION, nullptr, cellSize);
    ShadowObject master(&sizing, cellSize);
    master._view_modes = std::move(modes);
    return master;
}

// Collects the debug output while alive.
class DebugCapture {
public:
    DebugCapture() : _previous(qInstallMessageHandler(&DebugCapture::handle)) { _active = this; }
    ~DebugCapture()
    {
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
