#include "example/Diagnostics.h"

Q_LOGGING_CATEGORY(kalvexExample, "kalvex.example", QtInfoMsg)
