#include "engine/ProcessWideStderrSilencer.h"

#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <optional>
#include <unistd.h>

using namespace quorvane;

// Standard error is silenced for every writer while a silencer lives, and the stream comes back afterwards,
// also when silencers overlap and end in another order than they began.
class TestStderrSilencer : public QObject
{
    Q_OBJECT

    QTemporaryFile m_file;
    int m_original = -1;

    void say(const char* text)
    {
        std::fputs(text, stderr);
        std::fflush(stderr);
        QVERIFY(::write(STDERR_FILENO, "|", 1) == 1);
    }

private slots:
    void init()
    {
        QVERIFY(m_file.open());
        std::fflush(stderr);
        m_original = ::dup(STDERR_FILENO);
        QVERIFY(::dup2(m_file.handle(), STDERR_FILENO) >= 0);
    }
    void cleanup()
    {
        std::fflush(stderr);
        ::dup2(m_original, STDERR_FILENO);
        ::close(m_original);
        m_file.close();
        m_file.remove();
    }

    void silencesUntilTheLastEnds()
    {
        say("before");
        {
            std::optional<ProcessWideStderrSilencer> first;
            first.emplace();
            say("first");
            std::optional<ProcessWideStderrSilencer> second;
            second.emplace();
            first.reset(); // ends before the one that began after it
            say("second alone");
            second.reset();
            say("after");
            ProcessWideStderrSilencer again;
            say("again");
        }
        say("end");
        QVERIFY(m_file.seek(0));
        QCOMPARE(m_file.readAll(), QByteArray("before|after|end|"));
    }
};

QTEST_GUILESS_MAIN(TestStderrSilencer)
#include "test_stderrsilencer.moc"
