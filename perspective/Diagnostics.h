#pragma once
// Diagnostic lines of the point-light code (views processed, example views
// inserted). Off by default; QT_LOGGING_RULES="kalvex.perspective.debug=true"
// shows them.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(kalvexPerspective)
