#pragma once
// Diagnostic lines of the example-based completion (models loaded, placements
// made). They are off by default; QT_LOGGING_RULES="kalvex.completion.debug=true"
// shows them.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(kalvexCompletion)
