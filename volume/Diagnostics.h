#pragma once
// Diagnostic lines of the volume code (freed grids, lost shadow pixels). They
// are off by default; QT_LOGGING_RULES="kalvex.volume.debug=true" shows them.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(kalvexVolume)
