// A core file as any other: it sees the core's headers and its third-party libraries.
#include "platform/clientdataset.h"
#include "platform/db/database.h"
#include "platform/json.h"
#ifdef KZT_PROBE_WIDGET
#include <QWidget>
#endif

int kztCoreProbe()
{
    return kzt::ClientDataSet("probe").fieldCount();
}
