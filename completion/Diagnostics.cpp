#include "completion/Diagnostics.h"

Q_LOGGING_CATEGORY(kalvexCompletion, "kalvex.completion", QtInfoMsg)
