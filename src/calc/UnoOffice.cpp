#include "UnoOffice.h"

#include "core/Failure.h"
#include "output/OfficePipe.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

using namespace css;

namespace quorvane::calc {

rtl::OUString toOUString(const QString& text)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), static_cast<sal_Int32>(text.size()));
}

QString toQString(const rtl::OUString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getStr()), text.getLength());
}

QString describe(const uno::Exception& failure)
{
    const QString message = toQString(failure.Message).trimmed();
    return message.isEmpty() ? QStringLiteral("LibreOffice stopped answering.") : message;
}

namespace {

// Connects only to a socket of the user's own (throws Failure on anyone else's); nothing when none is there
// yet or nobody answers on it.
uno::Reference<uno::XInterface> resolve(const uno::Reference<bridge::XUnoUrlResolver>& resolver,
                                        const rtl::OUString& url, const QString& pipeName)
{
    if (OfficePipe::check(pipeName) == OfficePipe::State::Absent)
        return {};
    try {
        return resolver->resolve(url);
    } catch (const connection::NoConnectException&) {
        return {};
    }
}

void startOffice(const CalcConnection& connection)
{
    QProcess office;
    office.setProgram(connection.programFolder + QStringLiteral("/soffice"));
    office.setArguments(
        QStringList{QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(connection.pipeName),
                    QStringLiteral("--norestore"), QStringLiteral("--nologo"), QStringLiteral("--nodefault"),
                    QStringLiteral("--nolockcheck")} +
        connection.extraArguments);
    // An office that kept our output open would hold the pipes of whoever started us.
    office.setStandardInputFile(QProcess::nullDevice());
    office.setStandardOutputFile(QProcess::nullDevice());
    office.setStandardErrorFile(QProcess::nullDevice());
    if (!office.startDetached())
        throw Failure(QStringLiteral("LibreOffice could not be started: %1").arg(office.errorString()));
}

} // namespace

UnoOffice::UnoOffice(const CalcConnection& connection, Start start)
{
    try {
        // Without it the bootstrap finds no type libraries and the desktop cannot be created.
        rtl::Bootstrap::set(
            "URE_BOOTSTRAP",
            toOUString(QUrl::fromLocalFile(connection.programFolder + QStringLiteral("/fundamentalrc")).toString()));
        m_local = cppu::defaultBootstrap_InitialComponentContext();
        const auto resolver = bridge::UnoUrlResolver::create(m_local);
        const rtl::OUString url =
            toOUString(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(connection.pipeName));
        uno::Reference<uno::XInterface> remote = resolve(resolver, url, connection.pipeName);
        if (!remote.is()) {
            if (start == Start::IfNobodyAnswers)
                startOffice(connection);
            const QDeadlineTimer deadline(std::chrono::seconds(connection.startSeconds));
            while (!remote.is() && !deadline.hasExpired()) {
                QThread::msleep(100);
                remote = resolve(resolver, url, connection.pipeName);
            }
            if (!remote.is())
                throw Failure(
                    QStringLiteral("LibreOffice did not answer within %1 seconds.").arg(connection.startSeconds));
        }
        const uno::Reference<uno::XComponentContext> context(remote, uno::UNO_QUERY_THROW);
        m_desktop = frame::Desktop::create(context);
    } catch (const uno::Exception& failure) {
        release();
        throw Failure(describe(failure));
    } catch (const cppu::BootstrapException& failure) {
        release();
        throw Failure(toQString(failure.getMessage()));
    } catch (const Failure&) {
        release();
        throw;
    }
}

UnoOffice::~UnoOffice()
{
    release();
}

void UnoOffice::release() noexcept
{
    try {
        m_desktop.clear();
        if (const uno::Reference<lang::XComponent> local{m_local, uno::UNO_QUERY}; local.is())
            local->dispose();
    } catch (...) {
        // The bridge is gone already: nothing is left to let go of.
    }
    m_local.clear();
}

} // namespace quorvane::calc
