// The real program, killed with SIGTERM in the middle of a splitting run, stores its DomainList.
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;

namespace {

const QString domainListKey = QStringLiteral("Quorvane/Zip Codes");

// Names of 24 digits: each one fills the candidate bound, so a run over a few hundred of them lasts far
// longer than the test needs to send its signal.
QStringList slowNames()
{
    QStringList names;
    for (int i = 0; i < 400; ++i)
        names.append(QStringLiteral("%1").arg(i, 24, 10, QLatin1Char('7')));
    names.append({QStringLiteral("sunsetphotos.com"), QStringLiteral(" blanks kept "), QStringLiteral("café.com")});
    return names;
}

} // namespace

class TestTermination : public QObject
{
    Q_OBJECT

private slots:
    void sigtermDuringARunStoresTheDomainList()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString config = home.filePath(QStringLiteral("config"));
        // Where the program keeps its settings under XDG_CONFIG_HOME.
        const QString settingsFile = config + QStringLiteral("/Tarnwick/Quorvane.conf");
        const QStringList names = slowNames();
        const QString joined = names.join(QLatin1Char(';'));
        {
            QSettings settings(settingsFile, QSettings::IniFormat);
            settings.setValue(QStringLiteral("Quorvane/Option"), QStringLiteral("3"));
            settings.setValue(domainListKey, joined);
        }

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        environment.insert(QStringLiteral("QT_LOAD_TESTABILITY"), QStringLiteral("1"));
        environment.insert(QStringLiteral("LD_LIBRARY_PATH"), QStringLiteral(TESTABILITY_DIR));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProgram(testfiles::applicationFolder() + QStringLiteral("/quorvane"));
        program.start();
        QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
        const auto finish = qScopeGuard([&] {
            if (program.state() != QProcess::NotRunning) {
                program.kill();
                program.waitForFinished();
            }
        });

        QByteArray output;
        QElapsedTimer waited;
        waited.start();
        while (!output.contains("running\n") && program.state() == QProcess::Running && waited.elapsed() < 120000) {
            program.waitForReadyRead(1000);
            output += program.readAllStandardOutput();
        }
        QVERIFY2(output.contains("running\n"), output.constData());

        // Take the stored list away while the run goes on: only the program's own closing can bring it back.
        {
            QSettings settings(settingsFile, QSettings::IniFormat);
            settings.setValue(domainListKey, QString());
            settings.sync();
            QCOMPARE(settings.status(), QSettings::NoError);
        }

        program.terminate(); // SIGTERM
        QVERIFY2(program.waitForFinished(60000), "the program did not end after SIGTERM");
        const QByteArray errors = program.readAllStandardError();
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == 0, errors.constData());

        QSettings stored(settingsFile, QSettings::IniFormat);
        QCOMPARE(stored.value(domainListKey).toString(), joined);
        QCOMPARE(stored.value(QStringLiteral("Quorvane/Option")).toString(), QStringLiteral("3"));
    }
};

QTEST_GUILESS_MAIN(TestTermination)
#include "test_termination.moc"
