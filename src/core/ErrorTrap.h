#pragma once

#include "Failure.h"
#include "Prompter.h"

#include <QString>

#include <exception>
#include <new>
#include <utility>

namespace quorvane {

// The text of the error report: the failure's description, the procedure's location and step number,
// and the request to send a screenshot.
QString errorReportText(const QString& description, const QString& location, int step);

// The error trap of a procedure's numbered steps.
class ErrorTrap
{
public:
    ErrorTrap(QString location, Prompter& prompter) : m_location(std::move(location)), m_prompter(prompter) {}

    // Runs a plain step. Returns false when it failed (and was reported).
    template <typename F> bool step(int number, F&& body)
    {
        m_step = number;
        return guarded([&] { std::forward<F>(body)(); });
    }

    // Runs a step that returns a value; on failure returns `fallback`.
    template <typename T, typename F> T value(int number, T fallback, F&& body)
    {
        m_step = number;
        T result = fallback;
        guarded([&] { result = std::forward<F>(body)(); });
        return result;
    }

    // The test of a branch or the head of a loop: a test that fails is reported and the branch is
    // entered, as if the test had held.
    template <typename F> bool test(int number, F&& condition)
    {
        m_step = number;
        bool holds = true;
        guarded([&] { holds = std::forward<F>(condition)(); });
        return holds;
    }

    // The step that ends a counted loop (advancing and testing the count): when it fails, the loop is
    // left. Returns whether the loop goes on.
    template <typename F> bool loopEnd(int number, F&& advanceAndTest)
    {
        m_step = number;
        bool goesOn = false;
        guarded([&] { goesOn = std::forward<F>(advanceAndTest)(); });
        return goesOn;
    }

    // Reports a failure under the current step without running anything.
    void report(const QString& description);

    const QString& location() const { return m_location; }
    int currentStep() const { return m_step; }
    int reportCount() const { return m_reports; }

private:
    template <typename F> bool guarded(F&& body)
    {
        try {
            body();
            return true;
        } catch (const Failure& failure) {
            report(failure.description());
        } catch (const std::bad_alloc&) {
            report(QStringLiteral("Out of memory"));
        } catch (const std::exception& error) {
            report(QString::fromLocal8Bit(error.what()));
        }
        return false;
    }

    QString m_location;
    Prompter& m_prompter;
    int m_step = 0;
    int m_reports = 0;
};

} // namespace quorvane
