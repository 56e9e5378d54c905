#include "WordDatabase.h"

#include "ProcessWideStderrSilencer.h"
#include "core/Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// mdbtools.h includes glib.h inside extern "C", where glib's C++ templates cannot stand: include it first.
#include <glib.h>
#include <mdbtools.h>

namespace quorvane {

namespace {

constexpr const char* wordsTable = "words";
constexpr int wordColumn = 3;  // field index 2; libmdb numbers bound columns from 1
constexpr int catalogPage = 2; // the table definition of MSysObjects
constexpr int rowOffsetMask = 0x1fff;
constexpr int minimumPages = 6;       // header, free-page map, catalog definition, usage maps, catalog data, a table
constexpr int minimumMapRowBytes = 5; // a map's type byte and its start page
constexpr qint64 largestJetFile = qint64(2) << 30; // Jet and ACE files never exceed 2 GB

quint32 u32At(const unsigned char* page, int offset)
{
    return quint32(page[offset]) | quint32(page[offset + 1]) << 8 | quint32(page[offset + 2]) << 16 |
           quint32(page[offset + 3]) << 24;
}

quint16 u16At(const unsigned char* page, int offset)
{
    return quint16(page[offset] | page[offset + 1] << 8);
}

bool knownVersion(unsigned char version)
{
    switch (version) {
    case MDB_VER_JET3:
    case MDB_VER_JET4:
    case MDB_VER_ACCDB_2007:
    case MDB_VER_ACCDB_2010:
    case MDB_VER_ACCDB_2013:
    case MDB_VER_ACCDB_2016:
    case MDB_VER_ACCDB_2019:
        return true;
    default:
        return false;
    }
}

} // namespace

QString worddatabase_detail::decodeJet4Text(const unsigned char* bytes, int length)
{
    const bool compressed = length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    // At most one character per byte after the mark, or exactly one per two bytes.
    QString text(compressed ? length - 2 : length / 2, Qt::Uninitialized);
    QChar* out = text.data();
    if (compressed) {
        bool oneByte = true;
        for (int i = 2; i < length;) {
            if (bytes[i] == 0) {
                oneByte = !oneByte;
                ++i;
            } else if (oneByte) {
                *out++ = QChar(char16_t(bytes[i]));
                ++i;
            } else if (i + 1 < length) {
                *out++ = QChar(char16_t(bytes[i] | bytes[i + 1] << 8));
                i += 2;
            } else {
                break; // an odd byte at the end belongs to no character
            }
        }
    } else {
        for (int i = 0; i + 1 < length; i += 2)
            *out++ = QChar(char16_t(bytes[i] | bytes[i + 1] << 8));
    }
    text.truncate(out - text.constData());
    return text;
}

struct WordDatabase::Handle
{
    QByteArray bytes; // the file; libmdb reads it through a memory stream
    MdbHandle* mdb = nullptr;
    qint64 pageCount = 0;
    std::array<unsigned char, MDB_PGSIZE> page{};

    ~Handle()
    {
        if (mdb) {
            const ProcessWideStderrSilencer silence; // libmdb writes diagnostics there
            mdb_close(mdb);
        }
    }

    // Reads (and decrypts) one page into `page`. False when the page lies beyond the file.
    bool readPage(quint32 number)
    {
        const auto size = static_cast<std::size_t>(mdb->fmt->pg_size);
        if (qint64(number) >= pageCount || mdb_read_pg(mdb, number) != static_cast<ssize_t>(size))
            return false;
        std::memcpy(page.data(), mdb->pg_buf, size);
        return true;
    }

    // True when the row pointer (page << 8 | row) names a usage map libmdb can read: a row of at least five
    // bytes on an existing data page. libmdb dereferences a missing or empty map without checking.
    bool usageMapReadable(quint32 pointer)
    {
        const int pageSize = int(mdb->fmt->pg_size);
        const int rowCountOffset = mdb->fmt->row_count_offset;
        const int row = int(pointer & 0xff);
        if (!readPage(pointer >> 8) || page[0] != MDB_PAGE_DATA || row >= u16At(page.data(), rowCountOffset))
            return false;
        const int start = u16At(page.data(), rowCountOffset + 2 + row * 2) & rowOffsetMask;
        const int end = row == 0 ? pageSize : u16At(page.data(), rowCountOffset + row * 2) & rowOffsetMask;
        return start < pageSize && end <= pageSize && end - start >= minimumMapRowBytes;
    }

    // Checks a table definition before libmdb reads it: a table definition page whose two usage maps exist.
    bool tableDefinitionReadable(quint32 number)
    {
        if (number == 0 || !readPage(number) || page[0] != MDB_PAGE_TABLE)
            return false;
        const quint32 ownedMap = u32At(page.data(), mdb->fmt->tab_usage_map_offset);
        const quint32 freeMap = u32At(page.data(), mdb->fmt->tab_free_map_offset);
        return usageMapReadable(ownedMap) && usageMapReadable(freeMap);
    }
};

WordDatabase::WordDatabase(const QString& path) : m_path(path), m_handle(std::make_unique<Handle>())
{
    const auto damaged = [&] {
        return Failure(QStringLiteral("The word database \"%1\" is damaged and cannot be read.").arg(path));
    };

    const QFileInfo info(path);
    if (!info.exists())
        throw Failure(QStringLiteral("The word database \"%1\" was not found.").arg(path));
    if (!info.isFile())
        throw Failure(QStringLiteral("The word database \"%1\" is not a file.").arg(path));
    if (info.size() > largestJetFile)
        throw Failure(QStringLiteral("The word database \"%1\" is larger than any Access database can be.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The word database \"%1\" cannot be opened: %2").arg(path, file.errorString()));
    m_handle->bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("The word database \"%1\" cannot be read: %2").arg(path, file.errorString()));

    const QByteArray& bytes = m_handle->bytes;
    if (bytes.size() < 0x15 || bytes[0] != 0 || !knownVersion(static_cast<unsigned char>(bytes[0x14])))
        throw Failure(QStringLiteral("\"%1\" is not an Access database.").arg(path));
    const qint64 pageSize = bytes[0x14] == MDB_VER_JET3 ? 2048 : 4096;
    if (bytes.size() < minimumPages * pageSize || bytes.size() % pageSize != 0)
        throw damaged();
    m_handle->pageCount = bytes.size() / pageSize;

    const ProcessWideStderrSilencer silence; // libmdb writes diagnostics there
    // libmdb only reads through the stream, but its interface takes a writable buffer.
    m_handle->mdb = mdb_open_buffer(m_handle->bytes.data(), std::size_t(bytes.size()), MDB_NOFLAGS);
    if (!m_handle->mdb)
        throw Failure(QStringLiteral("\"%1\" is not an Access database that can be read.").arg(path));
    if (!m_handle->tableDefinitionReadable(catalogPage))
        throw damaged();
    if (!mdb_read_catalog(m_handle->mdb, MDB_TABLE))
        throw Failure(QStringLiteral("The list of tables of the word database \"%1\" cannot be read.").arg(path));
}

WordDatabase::~WordDatabase() = default;

std::vector<std::optional<QString>> WordDatabase::readWords()
{
    MdbHandle* mdb = m_handle->mdb;
    const ProcessWideStderrSilencer silence; // libmdb writes diagnostics there

    // Access looks table names up without regard to letter case, and so does libmdb.
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(mdb, wordsTable);
    if (!entry || entry->object_type != MDB_TABLE)
        throw Failure(QStringLiteral("The word database \"%1\" has no table \"words\".").arg(m_path));
    if (!m_handle->tableDefinitionReadable(quint32(entry->table_pg)))
        throw Failure(QStringLiteral("Table \"words\" of the word database \"%1\" is damaged.").arg(m_path));

    MdbTableDef* table = mdb_read_table(entry);
    if (!table)
        throw Failure(QStringLiteral("Table \"words\" of the word database \"%1\" cannot be read.").arg(m_path));
    const auto freeTable = qScopeGuard([table] { mdb_free_tabledef(table); });
    if (!mdb_read_columns(table))
        throw Failure(QStringLiteral("Table \"words\" of the word database \"%1\" cannot be read.").arg(m_path));
    if (table->num_cols < unsigned(wordColumn))
        throw Failure(
            QStringLiteral("Table \"words\" of the word database \"%1\" has fewer than three fields.").arg(m_path));

    // Text fields of Jet 4 and ACE files are decoded here, straight from the row libmdb found: several times
    // faster than libmdb's conversion to UTF-8 for every row. Other fields and Jet 3 files (whose text is in
    // the file's code page) go through libmdb's binding.
    const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, wordColumn - 1));
    const bool decodeHere = mdb->f->jet_version != MDB_VER_JET3 && column->col_type == MDB_TEXT;
    std::vector<char> text(MDB_BIND_SIZE);
    int length = 0;
    if (!decodeHere && mdb_bind_column(table, wordColumn, text.data(), &length) == -1)
        throw Failure(QStringLiteral("Table \"words\" of the word database \"%1\" cannot be read.").arg(m_path));
    std::vector<MdbField> fields(table->num_cols);
    mdb_rewind_table(table);

    const int pageSize = int(mdb->fmt->pg_size);
    std::vector<std::optional<QString>> words;
    // Room for the rows the definition counts, unless a damaged definition counts more than the file can hold.
    words.reserve(std::min<std::size_t>(table->num_rows, std::size_t(m_handle->bytes.size()) / 4));
    while (mdb_fetch_row(table)) {
        if (decodeHere && column->cur_value_len > 0) {
            const int start = column->cur_value_start;
            const int size = column->cur_value_len;
            if (start < 0 || start > pageSize - size)
                throw Failure(QStringLiteral("Table \"words\" of the word database \"%1\" is damaged.").arg(m_path));
            words.emplace_back(worddatabase_detail::decodeJet4Text(mdb->pg_buf + start, size));
            continue;
        }
        if (!decodeHere && length > 0) {
            words.emplace_back(QString::fromUtf8(text.data(), length));
            continue;
        }
        // An empty field: libmdb gives NULL and the empty text alike, and the row's null mask tells them apart.
        int start = 0;
        std::size_t size = 0;
        bool isNull = true;
        if (table->cur_row > 0 && mdb_find_row(mdb, int(table->cur_row - 1), &start, &size) == 0 &&
            mdb_crack_row(table, start & rowOffsetMask, size, fields.data()) > wordColumn - 1)
            isNull = fields[wordColumn - 1].is_null != 0;
        if (isNull)
            words.emplace_back(std::nullopt);
        else
            words.emplace_back(QString());
    }

    if (words.size() != table->num_rows)
        throw Failure(QStringLiteral("Table \"words\" of the word database \"%1\" is damaged: it holds %2 rows, "
                                     "but %3 could be read.")
                          .arg(m_path)
                          .arg(table->num_rows)
                          .arg(words.size()));
    return words;
}

} // namespace quorvane
