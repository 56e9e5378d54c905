#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace quorvane {

// Many short texts kept end to end in one buffer, with the end of each: one allocation for a million
// texts instead of one each. Texts are addressed from 0.
class TextBlock
{
public:
    qsizetype count() const { return static_cast<qsizetype>(m_ends.size()); }
    bool isEmpty() const { return m_ends.empty(); }
    // Valid until the block changes.
    QStringView at(qsizetype index) const
    {
        const qsizetype begin = index == 0 ? 0 : m_ends[static_cast<size_t>(index - 1)];
        return QStringView(m_characters).mid(begin, m_ends[static_cast<size_t>(index)] - begin);
    }

    // The texts end to end and where each one ends: text i runs from ends()[i - 1] (0 for the first) to
    // ends()[i]. For tight loops over many texts; valid until the block changes.
    const QChar* characters() const { return m_characters.constData(); }
    const qsizetype* ends() const { return m_ends.data(); }

    // Room for `texts` more texts of `characters` characters in all; the room grows at least twofold, so that
    // appending in many small steps takes linear time.
    void reserve(qsizetype texts, qsizetype characters);
    qsizetype characterCapacity() const { return m_characters.capacity(); }
    qsizetype textCapacity() const { return static_cast<qsizetype>(m_ends.capacity()); }
    void add(QStringView text);
    void add(const TextBlock& other);
    void remove(qsizetype index);
    void clear();

private:
    QString m_characters;
    std::vector<qsizetype> m_ends;
};

} // namespace quorvane
