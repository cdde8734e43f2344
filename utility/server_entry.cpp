// The exported entry points of libqevActiveXLib.so; the version script
// (exports.map) keeps every other symbol local.
#include "utility/server.h"

QEV_EXPORT_SERVER_ENTRY_POINTS(qev::utility::UtilityModule())
