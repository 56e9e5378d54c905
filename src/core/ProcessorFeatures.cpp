#include "ProcessorFeatures.h"

#include <QByteArray>
#include <QtGlobal>

namespace quorvane::processor {

bool portableOnly()
{
    static const bool only = [] {
        const QByteArray value = qgetenv("QUORVANE_PORTABLE");
        return !value.isEmpty() && value != "0";
    }();
    return only;
}

bool hasSse2()
{
#if defined(__SSE2__)
    return !portableOnly();
#else
    return false;
#endif
}

} // namespace quorvane::processor
