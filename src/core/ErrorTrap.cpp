#include "ErrorTrap.h"

#include "Locations.h"

namespace quorvane {

QString errorReportText(const QString& description, const QString& location, int step)
{
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") + QString::number(step) +
           QStringLiteral("\r\rPlease email screenshot of this message to ") + supportAddress;
}

void ErrorTrap::report(const QString& description)
{
    ++m_reports;
    m_prompter.stepFailed(description, m_location, m_step);
}

} // namespace quorvane
