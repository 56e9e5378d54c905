#pragma once

#include "Spreadsheet.h"

#include <functional>
#include <memory>

namespace quorvane {

class EventPump;

// How long the program's end waits for abandoned exports (SpreadsheetThread::waitForAbandonedExports): well
// inside the second in which a closed program must be gone.
inline constexpr int closingGraceMilliseconds = 300;

// The thread every call of one export to the spreadsheet application runs on.
class SpreadsheetThread
{
public:
    explicit SpreadsheetThread(EventPump& pump);
    // Ends the thread once its last call is done, without waiting for it: a call abandoned by the export (a
    // yield threw while it ran) finishes on the thread alone. A document still held then was neither handed
    // over nor let go of: the thread abandons it (Spreadsheet::abandon) and lets go of it.
    ~SpreadsheetThread();
    SpreadsheetThread(const SpreadsheetThread&) = delete;
    SpreadsheetThread& operator=(const SpreadsheetThread&) = delete;

    // Runs `call` on the thread with the export's document (null until a call sets it) and yields to the
    // pump until it is done; its failure is rethrown here. Whatever `call` reads must be its own (captured by
    // value): an abandoned call outlives the export. Whatever a yield throws is passed on, and the call is
    // abandoned.
    void run(std::function<void(std::unique_ptr<Spreadsheet>& sheet)> call);

    // For the program's end: waits up to `milliseconds` for the threads of abandoned exports to end, so that
    // a call that ends soon can still abandon its document. Returns whether none is left. The program ends
    // anyway: a call on an office that does not answer is not waited for.
    static bool waitForAbandonedExports(int milliseconds);
    // The program's end: waits closingGraceMilliseconds for abandoned exports, and lets the application end
    // (SpreadsheetApplication::endAbandoned) when some still run, so that no hidden document outlives it.
    static void endAbandonedExports(SpreadsheetApplication& application);

private:
    struct State;

    EventPump& m_pump;
    std::shared_ptr<State> m_state;
};

} // namespace quorvane
