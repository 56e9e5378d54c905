// mkmdb: writes the word database "dbWords.mdb" from a word list.
// usage: mkmdb <word list> <database>
// The word list is UTF-8 text with one word per line (CR LF or LF); empty lines are skipped.

#include "JetWriter.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <cstdio>
#include <exception>
#include <optional>
#include <vector>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "mkmdb: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return fail(QStringLiteral("usage: mkmdb <word list> <database>"));
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);

    QFile source(input);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot open %1: %2").arg(input, source.errorString()));
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot read %1: %2").arg(input, source.errorString()));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return fail(QStringLiteral("%1 is not UTF-8 text").arg(input));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    std::vector<std::optional<QString>> words;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            words.emplace_back(line.toString());
    }

    QByteArray database;
    try {
        database = quorvane::mkmdb::writeWordDatabase(words);
    } catch (const std::exception& error) {
        return fail(QStringLiteral("%1: %2").arg(input, QString::fromUtf8(error.what())));
    }

    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(database) != database.size() || !file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(output, file.errorString()));
    return 0;
}
