// The word database on damaged files: any bytes must give the words or a Failure, never a crash or a hang.
#include "FuzzFile.h"
#include "core/Failure.h"
#include "engine/WordDatabase.h"

#include <cstdint>

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::writeInput(data, size, QStringLiteral("dbWords.mdb"));
    try {
        WordDatabase database(path);
        const auto words = database.readWords();
        if (words.size() > size)
            abort(); // every row takes bytes of the file
    } catch (const Failure&) {
    }
    return 0;
}
