#include "JetWriter.h"

#include <QList>

#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace quorvane::mkmdb {

namespace {

constexpr int pageSize = 4096;
constexpr int dataPageHeader = 14;  // type, free space, owner, reserved, row count
constexpr int maxRowsPerPage = 255; // a row pointer keeps the row number in one byte
constexpr int maxWordLength = 255;  // Text(255)
constexpr int mapRowSize = 69;      // a usage map row: type byte, then 68 bytes of start page and bitmap
constexpr int bitmapPageBits = (pageSize - 4) * 8;

// Page numbers of the file's fixed layout.
constexpr quint32 catalogDefinitionPage = 2;
constexpr quint32 usageMapPage = 3;
constexpr quint32 catalogDataPage = 4;
constexpr quint32 wordsDefinitionPage = 5;
constexpr quint32 wordsBitmapPage = 6;
constexpr quint32 firstWordsDataPage = 7;

// Jet column types.
enum ColumnType : quint8
{
    Integer = 0x03,
    Long = 0x04,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    Ole = 0x0B,
    Memo = 0x0C,
};

// A fixed creation date (days since 1899-12-30: 2021-08-31), so that every build writes the same header.
constexpr double creationDate = 44439.0;

constexpr quint32 rowPointer(quint32 page, quint32 row)
{
    return page << 8 | row;
}

void putU8(QByteArray& bytes, int offset, quint8 value)
{
    bytes[offset] = char(value);
}

void putU16(QByteArray& bytes, int offset, quint16 value)
{
    bytes[offset] = char(value & 0xff);
    bytes[offset + 1] = char(value >> 8);
}

void putU32(QByteArray& bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xff);
}

void putF64(QByteArray& bytes, int offset, double value)
{
    quint64 raw = 0;
    static_assert(sizeof raw == sizeof value);
    std::memcpy(&raw, &value, sizeof raw);
    for (int i = 0; i < 8; ++i)
        bytes[offset + i] = char((raw >> (8 * i)) & 0xff);
}

void appendU16(QByteArray& bytes, quint16 value)
{
    bytes.append(char(value & 0xff)).append(char(value >> 8));
}

void appendU32(QByteArray& bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(char((value >> (8 * i)) & 0xff));
}

QByteArray utf16le(const QString& text)
{
    QByteArray bytes;
    for (const QChar c : text)
        appendU16(bytes, c.unicode());
    return bytes;
}

// The header's bytes 0x18 to 0x97 are stored masked with the RC4 key stream of this fixed key.
QByteArray rc4KeyStream(int length)
{
    const std::array<quint8, 4> key{0xC7, 0xDA, 0x39, 0x6B};
    std::array<quint8, 256> state{};
    for (int i = 0; i < 256; ++i)
        state[i] = quint8(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + state[i] + key[i % key.size()]) & 0xff;
        std::swap(state[i], state[j]);
    }
    QByteArray stream;
    for (int n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xff;
        j = (j + state[i]) & 0xff;
        std::swap(state[i], state[j]);
        stream.append(char(state[(state[i] + state[j]) & 0xff]));
    }
    return stream;
}

QByteArray headerPage()
{
    QByteArray page(pageSize, '\0');
    putU32(page, 0x00, 0x00000100);
    const char format[] = "Standard Jet DB";
    std::memcpy(page.data() + 0x04, format, sizeof format); // with its terminating zero
    putU32(page, 0x14, 1);                                  // Jet 4

    const std::array<quint8, 24> reserved{0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    for (std::size_t i = 0; i < reserved.size(); ++i)
        putU8(page, int(0x18 + i), reserved[i]);
    putU16(page, 0x3C, 1252); // code page
    putU32(page, 0x3E, 0);    // database key: none, so pages are not encrypted
    // The empty password is masked with the creation date; zeros here would read as a password.
    for (int i = 0; i < 10; ++i)
        putU32(page, 0x42 + 4 * i, quint32(qint32(std::floor(creationDate))));
    putU32(page, 0x6E, 0x0409); // sort order
    putF64(page, 0x72, creationDate);

    const QByteArray mask = rc4KeyStream(128);
    for (int i = 0; i < 128; ++i)
        page[0x18 + i] = char(page[0x18 + i] ^ mask[i]);
    return page;
}

// A data page (type 1) holding the rows packed downwards from the end of the page.
QByteArray dataPage(quint32 owner, const QList<QByteArray>& rows)
{
    QByteArray page(pageSize, '\0');
    putU8(page, 0, 0x01);
    putU8(page, 1, 0x01);
    putU32(page, 4, owner);
    putU16(page, 0x0C, quint16(rows.size()));
    int end = pageSize;
    for (int i = 0; i < rows.size(); ++i) {
        const int start = end - int(rows[i].size());
        std::memcpy(page.data() + start, rows[i].constData(), std::size_t(rows[i].size()));
        putU16(page, 0x0E + 2 * i, quint16(start));
        end = start;
    }
    putU16(page, 2, quint16(end - (dataPageHeader + 2 * int(rows.size()))));
    return page;
}

struct Column
{
    QString name;
    ColumnType type;
    int fixedOffset; // -1 for a variable column
    int length;      // bytes; 0 for Memo and OLE

    bool isFixed() const { return fixedOffset >= 0; }
    bool isLongValue() const { return type == Memo || type == Ole; }
};

struct LongValueMaps
{
    quint16 column;
    quint32 ownedMap;
    quint32 freeMap;
};

QByteArray tableDefinitionPage(const QList<Column>& columns, quint32 rowCount, quint8 tableType, quint32 ownedMap,
                               quint32 freeMap, const QList<LongValueMaps>& longValueMaps)
{
    constexpr int columnsStart = 0x3F;
    constexpr int columnEntrySize = 25;
    QByteArray page(pageSize, '\0');
    putU8(page, 0, 0x02);
    putU8(page, 1, 0x01);
    putU32(page, 0x0C, 1625);
    putU32(page, 0x10, rowCount);
    putU8(page, 0x18, 1);
    putU8(page, 0x28, tableType);
    int variableColumns = 0;
    for (const Column& column : columns)
        variableColumns += column.isFixed() ? 0 : 1;
    putU16(page, 0x29, quint16(columns.size()));
    putU16(page, 0x2B, quint16(variableColumns));
    putU16(page, 0x2D, quint16(columns.size()));
    putU32(page, 0x37, ownedMap);
    putU32(page, 0x3B, freeMap);

    int offset = columnsStart;
    int variableBefore = 0;
    for (int number = 0; number < columns.size(); ++number) {
        const Column& column = columns[number];
        putU8(page, offset, column.type);
        putU32(page, offset + 1, 1625);
        putU16(page, offset + 5, quint16(number));
        putU16(page, offset + 7, quint16(variableBefore));
        putU16(page, offset + 9, quint16(number));
        putU16(page, offset + 11, 0x0409);
        putU8(page, offset + 15, column.isFixed() ? 0x03 : 0x02);
        putU8(page, offset + 16, column.type == Text || column.type == Memo ? 0x01 : 0x00);
        putU16(page, offset + 21, quint16(column.isFixed() ? column.fixedOffset : 0));
        putU16(page, offset + 23, quint16(column.length));
        variableBefore += column.isFixed() ? 0 : 1;
        offset += columnEntrySize;
    }
    QByteArray tail;
    for (const Column& column : columns) {
        const QByteArray name = utf16le(column.name);
        appendU16(tail, quint16(name.size()));
        tail.append(name);
    }
    for (const LongValueMaps& maps : longValueMaps) {
        appendU16(tail, maps.column);
        appendU32(tail, maps.ownedMap);
        appendU32(tail, maps.freeMap);
    }
    appendU16(tail, 0xFFFF);
    std::memcpy(page.data() + offset, tail.constData(), std::size_t(tail.size()));
    const int used = offset + int(tail.size());
    putU16(page, 0x02, quint16(pageSize - used - 8));
    putU32(page, 0x08, quint32(used));
    return page;
}

QByteArray inlineUsageMap(quint32 startPage, const QList<quint32>& pages)
{
    QByteArray map(mapRowSize, '\0');
    putU32(map, 1, startPage);
    for (const quint32 page : pages) {
        const quint32 bit = page - startPage;
        map[5 + int(bit / 8)] = char(map[5 + int(bit / 8)] | (1 << (bit % 8)));
    }
    return map;
}

QByteArray referenceUsageMap(quint32 bitmapPage)
{
    QByteArray map(mapRowSize, '\0');
    putU8(map, 0, 0x01);
    putU32(map, 1, bitmapPage); // entry 0: pages 0 to 32735
    return map;
}

// MSysObjects: the catalog of the file, which lists its tables.
QList<Column> catalogColumns()
{
    return {
        {QStringLiteral("Id"), Long, 0, 4},
        {QStringLiteral("ParentId"), Long, 4, 4},
        {QStringLiteral("Name"), Text, -1, 510},
        {QStringLiteral("Type"), Integer, 8, 2},
        {QStringLiteral("DateCreate"), DateTime, 10, 8},
        {QStringLiteral("DateUpdate"), DateTime, 18, 8},
        {QStringLiteral("Owner"), Binary, -1, 510},
        {QStringLiteral("Flags"), Long, 26, 4},
        {QStringLiteral("Database"), Memo, -1, 0},
        {QStringLiteral("Connect"), Memo, -1, 0},
        {QStringLiteral("ForeignName"), Text, -1, 510},
        {QStringLiteral("RmtInfoShort"), Binary, -1, 510},
        {QStringLiteral("RmtInfoLong"), Ole, -1, 0},
        {QStringLiteral("Lv"), Ole, -1, 0},
        {QStringLiteral("LvProp"), Ole, -1, 0},
        {QStringLiteral("LvModule"), Ole, -1, 0},
        {QStringLiteral("LvExtra"), Ole, -1, 0},
    };
}

// A catalog row: Id, ParentId, Name, Type, both dates and Flags; every other field NULL.
QByteArray catalogRow(quint32 id, quint32 parentId, const QString& name, quint16 type, quint32 flags)
{
    constexpr int columnCount = 17;
    constexpr int fixedArea = 30;
    constexpr int variableColumns = 11;
    QByteArray row(2 + fixedArea, '\0');
    putU16(row, 0, columnCount);
    putU32(row, 2 + 0, id);
    putU32(row, 2 + 4, parentId);
    putU16(row, 2 + 8, type);
    putF64(row, 2 + 10, creationDate);
    putF64(row, 2 + 18, creationDate);
    putU32(row, 2 + 26, flags);
    const QByteArray nameBytes = utf16le(name);
    row.append(nameBytes);
    const auto nameStart = quint16(2 + fixedArea);
    const auto dataEnd = quint16(nameStart + nameBytes.size());
    appendU16(row, dataEnd);
    // Variable-column offsets from the last to the first: only Name (the first) has data.
    for (int i = variableColumns - 1; i >= 1; --i)
        appendU16(row, dataEnd);
    appendU16(row, nameStart);
    appendU16(row, variableColumns);
    // Not NULL: Id, ParentId, Name, Type, DateCreate, DateUpdate and Flags.
    row.append(char(0xBF)).append('\0').append('\0');
    return row;
}

// Jet 4 text: one byte per character after FF FE when every character fits in one ("compressed"),
// UTF-16LE otherwise.
QByteArray jetText(const QString& word)
{
    bool oneByte = true;
    for (const QChar c : word)
        oneByte = oneByte && c.unicode() <= 0xFF;
    if (!oneByte)
        return utf16le(word);
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : word)
        bytes.append(char(c.unicode()));
    return bytes;
}

std::string describe(std::size_t index, const QString& problem)
{
    return QStringLiteral("word %1: %2").arg(index + 1).arg(problem).toStdString();
}

void checkWord(std::size_t index, const QString& word)
{
    if (word.isEmpty())
        throw std::invalid_argument(describe(index, QStringLiteral("empty")));
    if (word.size() > maxWordLength)
        throw std::invalid_argument(describe(index, QStringLiteral("longer than %1 characters").arg(maxWordLength)));
    if (word.front() == QChar(0xFEFF))
        throw std::invalid_argument(describe(index, QStringLiteral("starts with U+FEFF")));
    for (const QChar c : word) {
        if (c.isNull())
            throw std::invalid_argument(describe(index, QStringLiteral("holds U+0000")));
        if (c.isSurrogate())
            throw std::invalid_argument(describe(index, QStringLiteral("holds a character beyond U+FFFF")));
    }
}

// A row of the words table: ID, Length, Word.
QByteArray wordRow(quint32 id, const std::optional<QString>& word)
{
    const QByteArray text = word ? jetText(*word) : QByteArray();
    QByteArray row(8, '\0');
    putU16(row, 0, 3); // columns
    putU32(row, 2, id);
    putU16(row, 6, word ? quint16(word->size()) : 0);
    row.append(text);
    appendU16(row, quint16(8 + text.size())); // end of the variable data
    appendU16(row, 8);                        // where Word starts
    appendU16(row, 1);                        // variable columns
    row.append(char(word ? 0x07 : 0x01));     // null mask: ID always, Length and Word with a word
    return row;
}

} // namespace

QByteArray writeWordDatabase(const std::vector<std::optional<QString>>& words, const JetOptions& options)
{
    // Pack the rows of the words table into data pages, in order.
    QList<QList<QByteArray>> wordPages;
    QList<QByteArray> current;
    int used = dataPageHeader;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i])
            checkWord(i, *words[i]);
        QByteArray row = wordRow(quint32(i + 1), words[i]);
        if (used + 2 + row.size() > pageSize || current.size() == maxRowsPerPage) {
            wordPages.append(current);
            current.clear();
            used = dataPageHeader;
        }
        used += 2 + int(row.size());
        current.append(std::move(row));
    }
    if (!current.isEmpty())
        wordPages.append(current);
    if (firstWordsDataPage + quint32(wordPages.size()) > quint32(bitmapPageBits))
        throw std::invalid_argument("too many words for one usage bitmap page");

    const QList<Column> wordColumns{
        {QStringLiteral("ID"), Long, 0, 4},
        {QStringLiteral("Length"), Integer, 4, 2},
        {QStringLiteral("Word"), Text, -1, 510},
    };
    const QList<Column> catalog = catalogColumns();

    // Page 3 holds every usage map: rows 0 and 1 for the catalog, 2 and 3 for the words table, then a pair of
    // empty maps for each Memo and OLE column of the catalog.
    QList<QByteArray> maps{
        inlineUsageMap(0, {catalogDataPage}),
        inlineUsageMap(0, {}),
        referenceUsageMap(wordsBitmapPage),
        inlineUsageMap(0, {}),
    };
    QList<LongValueMaps> catalogLongValueMaps;
    for (int number = 0; number < catalog.size(); ++number) {
        if (!catalog[number].isLongValue())
            continue;
        const auto row = quint32(maps.size());
        catalogLongValueMaps.append(
            {quint16(number), rowPointer(usageMapPage, row), rowPointer(usageMapPage, row + 1)});
        maps.append(inlineUsageMap(0, {}));
        maps.append(inlineUsageMap(0, {}));
    }

    const QList<QByteArray> catalogRows{
        catalogRow(0x0F000001, 0x0F000000, QStringLiteral("Tables"), 3, 0x80000000),
        catalogRow(0x0F000002, 0x0F000000, QStringLiteral("Databases"), 3, 0x80000000),
        catalogRow(0x0F000003, 0x0F000000, QStringLiteral("Relationships"), 3, 0x80000000),
        catalogRow(catalogDefinitionPage, 0x0F000001, QStringLiteral("MSysObjects"), 1, 0x80000000),
        catalogRow(wordsDefinitionPage, 0x0F000001, options.tableName, 1, 0),
    };

    QByteArray bitmap(pageSize, '\0');
    putU8(bitmap, 0, 0x05);
    putU8(bitmap, 1, 0x01);
    for (quint32 page = firstWordsDataPage; page < firstWordsDataPage + quint32(wordPages.size()); ++page)
        bitmap[4 + int(page / 8)] = char(bitmap[4 + int(page / 8)] | (1 << (page % 8)));

    QByteArray file;
    file.reserve((firstWordsDataPage + wordPages.size()) * pageSize);
    file.append(headerPage());
    file.append(dataPage(1, {})); // the global free-page map: empty
    file.append(tableDefinitionPage(catalog, quint32(catalogRows.size()), 0x53, rowPointer(usageMapPage, 0),
                                    rowPointer(usageMapPage, 1), catalogLongValueMaps));
    file.append(dataPage(0, maps));
    file.append(dataPage(catalogDefinitionPage, catalogRows));
    file.append(tableDefinitionPage(wordColumns, quint32(words.size()), 0x4E, rowPointer(usageMapPage, 2),
                                    rowPointer(usageMapPage, 3), {}));
    file.append(bitmap);
    for (const QList<QByteArray>& rows : std::as_const(wordPages))
        file.append(dataPage(wordsDefinitionPage, rows));
    return file;
}

} // namespace quorvane::mkmdb
