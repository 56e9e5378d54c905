#pragma once

#include "output/LibreOfficeCalc.h"

#include <QString>

#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>

namespace quorvane::calc {

rtl::OUString toOUString(const QString& text);
QString toQString(const rtl::OUString& text);
// The description of a UNO failure for the error report.
QString describe(const css::uno::Exception& failure);

// A connection to an office of the program's own profile through a named pipe, starting one if needed.
class UnoOffice
{
public:
    enum class Start
    {
        IfNobodyAnswers,
        Never, // waits for the pipe to answer instead, up to the connection's start time
    };

    explicit UnoOffice(const CalcConnection& connection, Start start = Start::IfNobodyAnswers);
    ~UnoOffice();
    UnoOffice(const UnoOffice&) = delete;
    UnoOffice& operator=(const UnoOffice&) = delete;

    css::uno::Reference<css::frame::XDesktop2> desktop() const { return m_desktop; }
    // The office's process (the one that answered on the pipe), and whether this program started it.
    qint64 process() const { return m_process; }
    bool startedHere() const;
    // The pipe the connection goes through: that of the office's profile when it answers there, else the
    // connection's.
    QString pipeName() const { return m_pipe; }

    // Lets go of the office: drops the references and closes this side of the bridge. The office runs on.
    void release() noexcept;

private:
    css::uno::Reference<css::uno::XComponentContext> m_local;
    css::uno::Reference<css::bridge::XBridge> m_bridge;
    qint64 m_process = 0;
    QString m_pipe;
    css::uno::Reference<css::frame::XDesktop2> m_desktop;
};

} // namespace quorvane::calc
