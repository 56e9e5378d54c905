#include "Prompter.h"

#include "ErrorTrap.h"

namespace quorvane {

void Prompter::stepFailed(const QString& description, const QString& location, int step)
{
    errorReport(errorReportText(description, location, step));
}

} // namespace quorvane
