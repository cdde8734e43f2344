// The four entry points that the shared library qevRptCalLib exports, and
// nothing else.
#include "frame/registration.h"

QEV_EXPORT_SERVER_ENTRY_POINTS(qev::frame::RptCalModule())
