#include "RowFormat.h"

#include "engine/NameCleaner.h"
#include "engine/WordScores.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace quorvane {

namespace {

void put(RowOutput& output, const QByteArray& bytes)
{
    char* out = output.reserve(bytes.size());
    std::memcpy(out, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    output.commit(out + bytes.size());
}

QByteArray scoreText(qint64 score)
{
    return QByteArray::number(static_cast<double>(score) / WordScores::unitsPerNat, 'f', RowFormat::scoreDecimals);
}

// A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
void appendJson(QByteArray& to, QStringView text)
{
    static const char hex[] = "0123456789abcdef";
    to += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            to += "\\\"";
            break;
        case '\\':
            to += "\\\\";
            break;
        case '\n':
            to += "\\n";
            break;
        case '\r':
            to += "\\r";
            break;
        case '\t':
            to += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                to += "\\u00";
                to += hex[(c >> 4) & 0xf];
                to += hex[c & 0xf];
            } else {
                to += c;
            }
        }
    }
    to += '"';
}

// A TSV field holds no TAB nor line break: those and the backslash are escaped as \t, \n, \r and \\.
QByteArray tsvField(QStringView text)
{
    QByteArray bytes = text.toUtf8();
    if (!std::any_of(bytes.begin(), bytes.end(),
                     [](char c) { return c == '\t' || c == '\n' || c == '\r' || c == '\\'; }))
        return bytes;
    QByteArray escaped;
    for (const char c : bytes) {
        switch (c) {
        case '\t':
            escaped += "\\t";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\\':
            escaped += "\\\\";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

const char* RowFormat::pieceKindName(PieceKind kind)
{
    switch (kind) {
    case PieceKind::Known:
        break;
    case PieceKind::Letter:
        return "letter";
    case PieceKind::Unknown:
        return "unknown";
    }
    return "known";
}

EntryProcessor::Outcome RowFormat::write(EntryProcessor& processor, QStringView name, const SplitOptions& options,
                                         RowOutput& output) const
{
    if (!needsScores())
        return processor.writeRows(name, options, output);

    const QStringView trimmedName = trimBlanks(name);
    QByteArray row;
    qsizetype rank = 0;
    if (layout == Layout::Jsonl) {
        row = "{\"name\":";
        appendJson(row, trimmedName);
        row += ",\"splits\":[";
        put(output, row);
    }
    const QByteArray start = layout == Layout::Tsv  ? tsvField(trimmedName) + '\t'
                             : options.showOriginal ? trimmedName.toUtf8() + " - "
                                                    : QByteArray();
    const bool withKinds = options.order == SplitOrder::Ranked && options.best > 0;
    const auto kindOf = [&](std::span<const qint32> ends, std::size_t k) {
        return pieceKindName(processor.pieceKind(k == 0 ? 0 : ends[k - 1], ends[k]));
    };
    EntryProcessor::Outcome outcome =
        processor.splitEntry(name, options, true, [&](QStringView text, std::span<const qint32> ends, qint64 score) {
            ++rank;
            row.clear();
            switch (layout) {
            case Layout::Text:
                row += start;
                for (std::size_t k = 0; k < ends.size(); ++k) {
                    if (k > 0)
                        row += ' ';
                    row += EntryProcessor::piece(text, ends, k).toUtf8();
                }
                row += '\t';
                row += scoreText(score);
                row += '\n';
                break;
            case Layout::Tsv:
                row += start;
                row += QByteArray::number(rank);
                row += '\t';
                row += scoreText(score);
                row += '\t';
                for (std::size_t k = 0; k < ends.size(); ++k) {
                    if (k > 0)
                        row += ' ';
                    row += tsvField(EntryProcessor::piece(text, ends, k));
                }
                if (withKinds) {
                    row += '\t';
                    for (std::size_t k = 0; k < ends.size(); ++k) {
                        if (k > 0)
                            row += ' ';
                        row += kindOf(ends, k);
                    }
                }
                row += '\n';
                break;
            case Layout::Jsonl:
                if (rank > 1)
                    row += ',';
                row += "{\"words\":[";
                for (std::size_t k = 0; k < ends.size(); ++k) {
                    if (k > 0)
                        row += ',';
                    appendJson(row, EntryProcessor::piece(text, ends, k));
                }
                row += "],\"score\":";
                row += scoreText(score);
                if (withKinds) {
                    row += ",\"kinds\":[";
                    for (std::size_t k = 0; k < ends.size(); ++k) {
                        if (k > 0)
                            row += ',';
                        row += '"';
                        row += kindOf(ends, k);
                        row += '"';
                    }
                    row += ']';
                }
                row += '}';
                break;
            }
            put(output, row);
            return true;
        });
    if (layout == Layout::Jsonl) {
        row = outcome.cut ? QByteArray("],\"cut\":true") : QByteArray("],\"cut\":false");
        if (!outcome.failures.isEmpty()) {
            row += ",\"error\":";
            appendJson(row, outcome.failures.join(QLatin1Char('\n')));
        }
        row += "}\n";
        put(output, row);
    }
    return outcome;
}

} // namespace quorvane
