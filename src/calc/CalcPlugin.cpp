// The plugin's one entry point; nothing else of it is seen by the program.
#include "CalcSpreadsheet.h"
#include "core/Failure.h"

#include <QtGlobal>

#include <exception>

// Of the CalcAddWorkbook type that the program resolves by this name.
extern "C" Q_DECL_EXPORT quorvane::Spreadsheet* quorvane_calc_add_workbook(const quorvane::CalcConnection* connection,
                                                                           QString* error);

extern "C" Q_DECL_EXPORT quorvane::Spreadsheet* quorvane_calc_add_workbook(const quorvane::CalcConnection* connection,
                                                                           QString* error)
{
    // No exception crosses into the program.
    try {
        return new quorvane::calc::CalcSpreadsheet(*connection);
    } catch (const quorvane::Failure& failure) {
        *error = failure.description();
    } catch (const std::exception& failure) {
        *error = QString::fromLocal8Bit(failure.what());
    } catch (...) {
        *error = QStringLiteral("LibreOffice failed.");
    }
    return nullptr;
}

// Of the CalcEndStartedOffice type.
extern "C" Q_DECL_EXPORT void quorvane_calc_end_started_office();

extern "C" Q_DECL_EXPORT void quorvane_calc_end_started_office()
{
    try {
        quorvane::calc::endStartedOffice();
    } catch (...) {
        // The program is ending: nothing is left to report to.
    }
}
