// Every reading of a text file: detection by byte-order mark, the three line readings and the whole-file
// reading. Any input must give lines or a Failure, never a crash; the line readings must agree with
// themselves on what they were given, and each decoding the processor runs (plain, SSE2) gives the same lines.
#include "FuzzFile.h"
#include "core/Failure.h"
#include "text/LineDecoder.h"
#include "text/TextFiles.h"
#include "text/Windows1252.h"

#include <cstdint>

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::writeInput(data, size);
    try {
        const TextBlock lines = readFileLines(path);
        if (lines.isEmpty())
            abort(); // never fewer than one line
        const DetectedEncoding detected = textfiles_detail::detectTextEncoding(path);
        const LineBreaks breaks = detected.isUtf8() ? LineBreaks::CrLfOnly : LineBreaks::CrLfOrLf;
        for (const Decoding decoding : {Decoding::Plain, Decoding::Sse2}) {
            if (decoding == Decoding::Sse2 && LineDecoder::bestDecoding() != Decoding::Sse2)
                continue;
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly) || !file.seek(detected.markLength))
                abort();
            TextBlock decoded;
            // Small pieces, so that characters and line breaks fall on their edges.
            linedecoder_detail::appendDeviceLines(file, path, detected.encoding, breaks, decoded,
                                                  qsizetype(1 + size % 23), decoding);
            if (decoded.toStringList() != lines.toStringList())
                abort();
        }
        const QString whole = readWholeFile(path);
        if (size > 0 && whole.size() != static_cast<qsizetype>(size))
            abort(); // one character per byte
        if (size > 0 && windows1252::encode(whole) != QByteArray(reinterpret_cast<const char*>(data), size))
            abort(); // the 8-bit reading loses nothing
        if (size == 0 && whole != emptyFileMarker)
            abort();
        const QStringList pieces = splitAtCrLf(whole);
        if (pieces.join(QStringLiteral("\r\n")) != (size == 0 ? emptyFileMarker : whole))
            abort(); // cutting at CR LF and joining again gives the text back
    } catch (const Failure&) {
    }
    return 0;
}
