// The domain-file readers (streaming and bulk) against a plain reference over the whole text, with chunk sizes from 1
// byte up so that terminators and CR LF pairs fall on every chunk boundary; the bulk reading with each decoding the
// processor runs (plain, SSE2), reached directly.
#include "FuzzFile.h"
#include "core/Failure.h"
#include "input/DomainFileReader.h"
#include "text/LineDecoder.h"
#include "text/TextBlock.h"
#include "text/Windows1252.h"

#include <algorithm>
#include <cstdint>

using namespace quorvane;

namespace {

QStringList referenceNames(const QString& text)
{
    QStringList names;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            names.append(current);
            current.clear();
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty())
        names.append(current);
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype chunk = 1 + data[0] % 16;
    const QString path = fuzz::writeInput(data + 1, size - 1);
    const QStringList expected =
        referenceNames(windows1252::decode(QByteArrayView(reinterpret_cast<const char*>(data + 1), size - 1)));
    // The streaming reader stops with a failure at the first line longer than a name may be.
    const auto overlong = std::find_if(expected.cbegin(), expected.cend(), [](const QString& name) {
        return name.size() > DomainFileReader::maxNameLength;
    });
    const QStringList streamed = expected.mid(0, overlong - expected.cbegin());
    try {
        DomainFileReader reader(path, chunk);
        QStringList names;
        QString name;
        bool stopped = false;
        try {
            while (reader.readName(name))
                names.append(name);
        } catch (const Failure&) {
            stopped = true;
        }
        if (names != streamed || stopped != (overlong != expected.cend()))
            abort();
        if (!stopped && DomainFileReader::readAllNames(path) != expected)
            abort();
        // The window's bulk reading, into an empty block (one byte per character) and after a text that needs
        // two bytes per character, in pieces of the same size.
        TextBlock fresh;
        DomainFileReader::appendAllNames(path, fresh, chunk);
        if (!fresh.isNarrow() || fresh.toStringList() != expected)
            abort();
        TextBlock wide;
        wide.add(QStringLiteral("\u65E5"));
        DomainFileReader::appendAllNames(path, wide, chunk);
        if (wide.isNarrow() || wide.toStringList() != QStringList{QStringLiteral("\u65E5")} + expected)
            abort();
        for (const Decoding decoding : {Decoding::Plain, Decoding::Sse2}) {
            if (decoding == Decoding::Sse2 && LineDecoder::bestDecoding() != Decoding::Sse2)
                continue;
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                abort();
            TextBlock block;
            linedecoder_detail::appendDeviceLines(file, path, TextEncoding::Ansi, LineBreaks::CrLfCrOrLf, block, chunk,
                                                  decoding);
            if (!block.isNarrow() || block.toStringList() != expected)
                abort();
        }
    } catch (const Failure&) {
        abort(); // an existing, readable file never fails
    }
    return 0;
}
