#include "service/widgets/bench_resources.h"

#include <QtGlobal>

static void initBenchResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(bench);
        return true;
    }();
    (void)done;
}

namespace vardex::service {

QString benchPicture(const char *name)
{
    initBenchResources();
    return QStringLiteral(":/bench/") + QLatin1String(name);
}

} // namespace vardex::service
