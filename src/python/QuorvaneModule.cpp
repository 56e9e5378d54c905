// The Python extension module quorvane._quorvane: Python's side of ModuleSplitter. Names come in as str and
// splits go out as lists of str; errors become OSError (files) and ValueError (arguments), with the engine's
// messages. The public module (quorvane/__init__.py) re-exports what is here.
#include "ModuleSplitter.h"
#include "core/Failure.h"
#include "engine/SplitSettings.h"
#include "engine/WordDictionary.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <string_view>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#include <unordered_map>
#include <utility>

namespace py = pybind11;
using namespace quorvane;

namespace {

// Names handed to one splitting run of split_many: enough to keep every job busy for a while, few enough that
// the first split comes soon and memory stays small.
constexpr qsizetype namesPerChunk = 16384;

// Runs `work` without the GIL. The GIL is taken back outside any handler and destructor: at the interpreter's
// exit a daemon thread that takes it back is ended by an unwinding that must pass through unhindered (a
// destructor, being noexcept, would turn it into std::terminate).
template <typename Work> auto withoutGil(Work&& work) -> decltype(work())
{
    using Result = decltype(work());
    PyThreadState* const state = PyEval_SaveThread();
    std::exception_ptr error;
    std::optional<std::conditional_t<std::is_void_v<Result>, bool, Result>> result;
    try {
        if constexpr (std::is_void_v<Result>) {
            work();
            result = true;
        } else {
            result.emplace(work());
        }
    } catch (...) {
        error = std::current_exception();
    }
    PyEval_RestoreThread(state);
    if (error)
        std::rethrow_exception(error);
    if constexpr (!std::is_void_v<Result>)
        return std::move(*result);
}

[[noreturn]] void raiseOSError(const QString& message)
{
    PyErr_SetString(PyExc_OSError, message.toUtf8().constData());
    throw py::error_already_set();
}

// Appends a Python str to a QString, unit for unit (a lone surrogate stays one).
void appendPython(QString& to, PyObject* text)
{
    const Py_ssize_t length = PyUnicode_GET_LENGTH(text);
    const void* data = PyUnicode_DATA(text);
    switch (PyUnicode_KIND(text)) {
    case PyUnicode_1BYTE_KIND:
        to.append(QLatin1StringView(static_cast<const char*>(data), length));
        break;
    case PyUnicode_2BYTE_KIND:
        to.append(static_cast<const QChar*>(data), length);
        break;
    default:
        to.append(QString::fromUcs4(static_cast<const char32_t*>(data), length));
        break;
    }
}

QString fromPython(const py::str& text)
{
    QString converted;
    appendPython(converted, text.ptr());
    return converted;
}

// A new Python str from UTF-16 units (lone surrogates kept).
py::str toPython(QStringView text)
{
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    bool ascii = true;
    for (qsizetype k = 0; k < size && ascii; ++k)
        ascii = units[k] < 0x80;
    PyObject* result = nullptr;
    if (ascii) {
        result = PyUnicode_New(size, 0x7f);
        if (result) {
            auto* out = static_cast<Py_UCS1*>(PyUnicode_DATA(result));
            for (qsizetype k = 0; k < size; ++k)
                out[k] = static_cast<Py_UCS1>(units[k]);
        }
    } else {
        int littleEndian = -1;
        result = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(units), size * 2, "surrogatepass", &littleEndian);
    }
    if (!result)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(result);
}

// A file's name as the module takes it: str or os.PathLike.
QString pathFromPython(const py::object& path)
{
    const py::object name = py::module_::import("os").attr("fsdecode")(path);
    return fromPython(name.cast<py::str>());
}

// The file of a numbered word list in the data folder.
QString listFile(WordListChoice list, const QString& folder)
{
    switch (list) {
    case WordListChoice::Database:
        return folder + QStringLiteral("/dbWords.mdb");
    case WordListChoice::Google:
        return folder + QStringLiteral("/google.col");
    case WordListChoice::Mit:
        break;
    }
    return folder + QStringLiteral("/mit.col");
}

// Raises the OSError subclass of the system's error (FileNotFoundError, PermissionError, IsADirectoryError), with
// its errno and filename, when the file cannot be opened for reading.
void raiseUnlessReadable(const QString& path)
{
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (file >= 0) {
        struct stat status = {};
        const bool folder = ::fstat(file, &status) == 0 && S_ISDIR(status.st_mode);
        ::close(file);
        if (!folder)
            return;
        errno = EISDIR;
    }
    const py::str name = toPython(path);
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, name.ptr());
    throw py::error_already_set();
}

// A failed name: its cleaning failed (a suffix list that cannot be read) or its search did (a text too long).
void raiseForFailures(const EntryProcessor::Outcome& outcome)
{
    if (outcome.failures.isEmpty())
        return;
    if (!outcome.cleaned)
        raiseOSError(outcome.failures.first());
    throw py::value_error(outcome.failures.first().toStdString());
}

// The pieces of a name's splits as lists of str. The splits of one text share most of their pieces: each piece
// is made once and shared, as a str never changes.
class PieceLists final
{
public:
    explicit PieceLists(QStringView text) : m_text(text) {}

    py::list of(std::span<const qint32> ends)
    {
        py::list pieces(ends.size());
        for (std::size_t k = 0; k < ends.size(); ++k) {
            const qint32 from = k == 0 ? 0 : ends[k - 1];
            py::object& made = m_made[(quint64(quint32(from)) << 32) | quint32(ends[k])];
            if (!made)
                made = toPython(pieceOf(m_text, ends, k));
            pieces[k] = made;
        }
        return pieces;
    }

private:
    QStringView m_text;
    std::unordered_map<quint64, py::object> m_made;
};

// The list number given to the module, checked as quorvane-split checks it.
WordListChoice listOf(long long list)
{
    return SplitSettings::listNumber(QString::number(list));
}

// The application folder: the one given, else $QUORVANE_DATA_DIR, else the one the package was installed with.
QString dataFolder(const std::optional<py::object>& given)
{
    if (given && !given->is_none())
        return pathFromPython(*given);
    if (const char* folder = std::getenv("QUORVANE_DATA_DIR"); folder && *folder)
        return QString::fromLocal8Bit(folder);
    const py::object installed = py::module_::import("quorvane._quorvane").attr("_installed_data_dir");
    if (installed.is_none())
        raiseOSError(QStringLiteral("No data folder: set QUORVANE_DATA_DIR to the folder of the word lists"));
    return pathFromPython(installed);
}

// The words of an iterable of str given for `option`, lower-cased as the word lists' are, empty ones left out.
QStringList userWordsFrom(const char* option, const py::object& words)
{
    QStringList found;
    if (words.is_none())
        return found;
    if (py::isinstance<py::str>(words))
        throw py::type_error(std::string(option) + " takes an iterable of words, not one string");
    for (const py::handle word : words) {
        if (!py::isinstance<py::str>(word))
            throw py::type_error(std::string(option) + " takes words as str");
        QString lower = WordDictionary::lowerCase(fromPython(py::reinterpret_borrow<py::str>(word)));
        if (!lower.isEmpty())
            found.append(std::move(lower));
    }
    return found;
}

// The words of one split of `text`, as Python strings.
py::list wordsOf(QStringView text, std::span<const qint32> ends)
{
    py::list words(static_cast<Py_ssize_t>(ends.size()));
    for (std::size_t k = 0; k < ends.size(); ++k) {
        const QStringView piece = pieceOf(text, ends, k);
        PyObject* word = nullptr;
        if (std::all_of(piece.begin(), piece.end(), [](QChar c) { return c.unicode() < 0x80; })) {
            word = PyUnicode_New(piece.size(), 0x7f);
            if (word) {
                auto* to = static_cast<char*>(PyUnicode_DATA(word));
                for (qsizetype i = 0; i < piece.size(); ++i)
                    to[i] = static_cast<char>(piece[i].unicode());
            }
        } else {
            // A piece may hold half of a pair: as UTF-8, that half becomes a replacement character.
            const QByteArray bytes = piece.toUtf8();
            word = PyUnicode_DecodeUTF8(bytes.constData(), bytes.size(), "replace");
        }
        if (!word)
            throw py::error_already_set();
        PyList_SET_ITEM(words.ptr(), static_cast<Py_ssize_t>(k), word);
    }
    return words;
}

// The words of name k's best split of `results`, or none when it has none.
py::list bestWordsOf(const SplitResults& results, qsizetype name)
{
    const qsizetype split = results.firstSplit(name);
    if (split == results.endSplit(name))
        return py::list();
    return wordsOf(results.text(name), results.ends(split));
}

// split_many's source of splits: takes the names in chunks and splits each chunk ahead on a thread of its own
// (SplitAhead, without the GIL), while the splits of the chunk before are handed out.
// quorvane/__init__.py yields them one by one: a generator's step costs less than a call into the module.
class SplitChunks final
{
public:
    SplitChunks(std::shared_ptr<ModuleSplitter> splitter, py::iterator names, int jobs)
        : m_splitter(std::move(splitter)), m_names(std::move(names)), m_jobs(jobs)
    {}
    SplitChunks(SplitChunks&&) = default;
    SplitChunks(const SplitChunks&) = delete;
    SplitChunks& operator=(const SplitChunks&) = delete;
    ~SplitChunks()
    {
        if (m_current || m_next)
            withoutGil([&] {
                m_current.reset();
                m_next.reset();
            });
    }

    // The best splits of the next names in input order, as lists of words; None after the last. What failed
    // (a name, the iterable) is raised once the names before it have been returned, and ends the splits.
    py::object next()
    {
        for (;;) {
            if (m_failed) {
                m_done = true;
                const EntryProcessor::Outcome failed = std::move(*m_failed);
                m_failed.reset();
                raiseForFailures(failed);
            }
            if (m_done)
                return py::none();
            if (!m_current)
                m_current = splitAhead();
            if (!m_current) {
                m_done = true;
                if (m_pending) {
                    py::error_already_set pending = std::move(*m_pending);
                    m_pending.reset();
                    throw pending;
                }
                return py::none();
            }
            std::unique_ptr<SplitBatch> batch;
            try {
                batch = withoutGil([&] { return m_current->next(std::chrono::hours(24)); });
            } catch (...) {
                m_done = true;
                throw;
            }
            if (!batch) {
                // The chunk is out: the next one, split meanwhile or from now.
                withoutGil([&] { m_current = std::move(m_next); });
                continue;
            }
            // The next chunk is split while this one's splits are handed out.
            if (!m_next)
                m_next = splitAhead();
            py::list splits = takeBatch(*batch);
            if (!splits.empty())
                return splits;
        }
    }

private:
    // Takes the next chunk of names and starts splitting it; null when there are no more names.
    std::unique_ptr<SplitAhead> splitAhead()
    {
        if (m_namesEnded)
            return nullptr;
        ModuleSplitter::NameChunk chunk;
        fillChunk(chunk);
        if (chunk.ends.empty())
            return nullptr;
        return m_splitter->splitBest(std::move(chunk), m_jobs);
    }

    // The next chunk of names from the iterable; an error it raises is kept until the names before it are out.
    void fillChunk(ModuleSplitter::NameChunk& chunk)
    {
        chunk.names.resize(0);
        chunk.ends.clear();
        while (static_cast<qsizetype>(chunk.ends.size()) < namesPerChunk) {
            PyObject* item = PyIter_Next(m_names.ptr());
            if (!item) {
                if (PyErr_Occurred())
                    m_pending.emplace();
                m_namesEnded = true;
                return;
            }
            const py::object name = py::reinterpret_steal<py::object>(item);
            if (!PyUnicode_Check(item)) {
                PyErr_Format(PyExc_TypeError, "split_many takes names as str, not %.200s", Py_TYPE(item)->tp_name);
                m_pending.emplace();
                m_namesEnded = true;
                return;
            }
            appendPython(chunk.names, item);
            chunk.ends.push_back(chunk.names.size());
        }
    }

    // The splits of every name of the batch, up to a name that failed, which is kept for the next call.
    py::list takeBatch(const SplitBatch& batch)
    {
        std::size_t count = 0;
        for (const NameOutcome& outcome : batch.outcomes) {
            if (!outcome.failures.isEmpty()) {
                m_failed.emplace(outcome);
                break;
            }
            ++count;
        }
        py::list splits(count);
        for (std::size_t k = 0; k < count; ++k)
            PyList_SET_ITEM(splits.ptr(), static_cast<Py_ssize_t>(k),
                            bestWordsOf(batch.results, static_cast<qsizetype>(k)).release().ptr());
        return splits;
    }

    std::shared_ptr<ModuleSplitter> m_splitter;
    py::iterator m_names;
    int m_jobs;
    std::unique_ptr<SplitAhead> m_current;           // the chunk whose splits are being handed out
    std::unique_ptr<SplitAhead> m_next;              // the chunk after it, once that one is split
    std::optional<EntryProcessor::Outcome> m_failed; // a name that failed, after those before it
    std::optional<py::error_already_set> m_pending;  // what the iterable raised, after the names before it
    bool m_namesEnded = false;
    bool m_done = false; // an error was raised: nothing more comes
};

} // namespace

namespace {

// quorvane.Splitter: the words of one list, loaded once, and its splits.
class Splitter final
{
public:
    Splitter(std::optional<int> list, const std::optional<py::object>& words, const py::object& addWords,
             const py::object& dropWords, bool caseHints, bool wordsOnly, long long maxSplits,
             const std::optional<py::object>& dataDir, bool windowCleaning)
    {
        ModuleSplitter::Settings settings;
        SplitSettings& split = settings.split;
        if (list) {
            split.list = listOf(*list);
            split.listGiven = true;
        }
        const bool wordsGiven = words && !words->is_none();
        if (wordsGiven)
            split.wordsFile = pathFromPython(*words);
        split.checkWordSource();
        split.maxSplits = SplitSettings::count(QStringLiteral("max_splits"), maxSplits, 0);
        split.userWords.added = userWordsFrom("add_words", addWords);
        split.userWords.dropped = userWordsFrom("drop_words", dropWords);
        split.caseHints = caseHints;
        split.wordsOnly = wordsOnly;
        split.urlCleaning = !windowCleaning;
        settings.dataFolder = dataFolder(dataDir);
        raiseUnlessReadable(wordsGiven ? split.wordsFile : listFile(split.list, settings.dataFolder));
        m_splitter = withoutGil([&] { return std::make_shared<ModuleSplitter>(settings); });
        if (!m_splitter->loadReports().isEmpty()) {
            // The words loaded all the same, as quorvane-split goes on after such reports.
            for (const QString& report : m_splitter->loadReports()) {
                if (PyErr_WarnEx(PyExc_UserWarning, report.toUtf8().constData(), 2) < 0)
                    throw py::error_already_set();
            }
        }
        // What a pickle keeps: the options as given, so that the words are loaded again where it is unpickled.
        const auto wordList = [](const QStringList& found) {
            py::list result;
            for (const QString& word : found)
                result.append(toPython(word));
            return result;
        };
        m_state = py::make_tuple(
            list ? py::object(py::int_(*list)) : py::object(py::none()),
            wordsGiven ? py::object(toPython(split.wordsFile)) : py::object(py::none()),
            wordList(split.userWords.added), wordList(split.userWords.dropped), caseHints, wordsOnly, maxSplits,
            dataDir && !dataDir->is_none() ? py::object(toPython(settings.dataFolder)) : py::object(py::none()),
            windowCleaning);
    }

    py::tuple state() const { return m_state; }
    static Splitter fromState(const py::tuple& state)
    {
        if (state.size() != 9)
            throw py::value_error("not the state of a quorvane.Splitter");
        const auto optional = [](const py::handle item) {
            return item.is_none() ? std::nullopt : std::optional<py::object>(py::reinterpret_borrow<py::object>(item));
        };
        return Splitter(state[0].is_none() ? std::nullopt : std::optional<int>(state[0].cast<int>()),
                        optional(state[1]), state[2], state[3], state[4].cast<bool>(), state[5].cast<bool>(),
                        state[6].cast<long long>(), optional(state[7]), state[8].cast<bool>());
    }

    py::list split(const py::str& name)
    {
        thread_local SplitResults found;
        search(name, [&](QStringView text) { return m_splitter->bestSplit(text, found); });
        return bestWordsOf(found, 0);
    }

    py::list segmentations(const py::str& name, long long n)
    {
        SplitSettings::count(QStringLiteral("n"), n, 1);
        const SplitResults& found = splits(name, SplitOrder::Ranked, static_cast<qsizetype>(n)).first;
        py::list result(found.endSplit(0));
        PieceLists pieces(found.text(0));
        for (qsizetype k = 0; k < found.endSplit(0); ++k) {
            const double nats = static_cast<double>(found.score(k)) / WordScores::unitsPerNat;
            result[static_cast<std::size_t>(k)] = py::make_tuple(pieces.of(found.ends(k)), nats);
        }
        return result;
    }

    py::list allSplits(const py::str& name)
    {
        const auto [found, outcome] = splits(name, SplitOrder::Search, 0);
        py::list result(found.endSplit(0));
        PieceLists pieces(found.text(0));
        for (qsizetype k = 0; k < found.endSplit(0); ++k)
            result[static_cast<std::size_t>(k)] = pieces.of(found.ends(k));
        if (outcome.cut) {
            const QString message =
                QStringLiteral("cut after %1 splits; it has more").arg(static_cast<qint64>(found.endSplit(0)));
            if (PyErr_WarnEx(PyExc_UserWarning, message.toUtf8().constData(), 1) < 0)
                throw py::error_already_set();
        }
        return result;
    }

    SplitChunks splitChunks(const py::iterable& names, long long jobs)
    {
        SplitSettings asked;
        asked.jobs = static_cast<int>(
            std::min<qsizetype>(SplitSettings::count(QStringLiteral("jobs"), jobs, 0), SplitSettings::maxJobs));
        return SplitChunks(m_splitter, py::iter(names), asked.jobCount());
    }

    long long maxSplits() const { return m_splitter->maxSplits(); }

private:
    // The splits of one name, searched with the GIL released, into this thread's buffers.
    // The splits of the name (one name's results) and its outcome.
    std::pair<const SplitResults&, EntryProcessor::Outcome> splits(const py::str& name, SplitOrder order,
                                                                   qsizetype best)
    {
        thread_local SplitResults found;
        const EntryProcessor::Outcome outcome =
            search(name, [&](QStringView text) { return m_splitter->splits(text, order, best, found); });
        return {found, outcome};
    }

    // Runs `searchText` on the name with the GIL released; raises for a name that failed.
    template <typename Search> EntryProcessor::Outcome search(const py::str& name, Search&& searchText)
    {
        thread_local QString text;
        text.resize(0);
        appendPython(text, name.ptr());
        const EntryProcessor::Outcome outcome = withoutGil([&] { return searchText(QStringView(text)); });
        raiseForFailures(outcome);
        return outcome;
    }

    std::shared_ptr<ModuleSplitter> m_splitter;
    py::tuple m_state;
};

// The Splitter of each list for the module's functions, made on first use and kept for the process's life, as
// quorvane-split keeps its words. The GIL guards the table; a Splitter made meanwhile by another thread wins.
Splitter& defaultSplitter(long long list)
{
    listOf(list);
    static std::array<Splitter*, 3> made{};
    Splitter*& slot = made[static_cast<std::size_t>(list - 1)];
    if (!slot) {
        auto splitter = std::make_unique<Splitter>(static_cast<int>(list), std::nullopt, py::tuple(), py::tuple(),
                                                   false, false, Segmenter::defaultMaxCandidates, std::nullopt, false);
        if (!slot)
            slot = splitter.release();
    }
    return *slot;
}

} // namespace

PYBIND11_MODULE(_quorvane, module)
{
    module.doc() = "Splits domain names and URLs into words (the compiled part of the quorvane package).";
    // Set by quorvane/__init__.py: the data folder of the installation or build the package belongs to.
    module.attr("_installed_data_dir") = py::none();

    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            if (failure)
                std::rethrow_exception(failure);
        } catch (const Failure& caught) {
            PyErr_SetString(PyExc_OSError, caught.what());
        }
    });

    py::class_<SplitChunks>(module, "_SplitChunks", "The best splits of many names, chunk by chunk.")
        .def("next", &SplitChunks::next);

    py::class_<Splitter>(module, "Splitter", R"(Splits names into words with the words of one list, loaded once.

list: word list 1 (the word database), 2 or 3; 2 (the list that splits names best, as for quorvane-split)
    unless `words` is given.
words: a word-list file (read like the shipped lists) instead of a numbered list.
add_words: words to add to the list (an iterable of str), ranked with its most common words.
drop_words: words to take out of the list.
case_hints: in a name written in mixed case, changes from lower to upper case count as likely cuts (ranked
    calls only); a strong preference, not a rule.
words_only: the best splits stay inside the list (known words and numbers); otherwise letters spelled one by
    one and unknown stretches may be pieces, so that every name gets a best guess.
max_splits: at most this many splits per name (0: no bound); the ranked calls keep the best ones.
data_dir: the folder of the word lists and suffix.lst; default $QUORVANE_DATA_DIR, else the installed one.
window_cleaning: clean names as the window does; by default a URL is first reduced to its host and path (any
    scheme, user info, port, query and fragment removed, percent-encoding and xn-- labels decoded).

Raises OSError (FileNotFoundError, PermissionError, ...) when the words cannot be loaded and ValueError for a
bad argument. One Splitter may be used from several threads at once. A Splitter pickles by its options, and
loads its words again when unpickled.)")
        .def(py::init<std::optional<int>, const std::optional<py::object>&, const py::object&, const py::object&, bool,
                      bool, long long, const std::optional<py::object>&, bool>(),
             py::arg("list") = py::none(), py::arg("words") = py::none(), py::arg("add_words") = py::tuple(),
             py::arg("drop_words") = py::tuple(), py::arg("case_hints") = false, py::arg("words_only") = false,
             py::arg("max_splits") = static_cast<long long>(Segmenter::defaultMaxCandidates), py::kw_only(),
             py::arg("data_dir") = py::none(), py::arg("window_cleaning") = false)
        .def(py::pickle([](const Splitter& splitter) { return splitter.state(); }, &Splitter::fromState))
        .def("split", &Splitter::split, py::arg("name"),
             "The most likely split of the name as a list of its words; [] when it has none.")
        .def("segmentations", &Splitter::segmentations, py::arg("name"), py::arg("n") = 5,
             "The n most likely splits, most likely first, each as (words, score); the score is the natural log "
             "of the split's likelihood. Equal scores keep search order.")
        .def("all_splits", &Splitter::allSplits, py::arg("name"),
             "Every split of the name in search order, the window's listing; at most max_splits of them (a "
             "UserWarning says when there were more).")
        .def("_split_chunks", &Splitter::splitChunks, py::arg("names"), py::arg("jobs") = 0)
        .def_property_readonly("max_splits", &Splitter::maxSplits);

    module.def(
        "split", [](const py::str& name, long long list) { return defaultSplitter(list).split(name); }, py::arg("name"),
        py::arg("list") = static_cast<int>(SplitSettings::defaultList),
        "The most likely split of the name with word list 1, 2 or 3, as a list of its words; [] when it has none.");
    module.def(
        "segmentations",
        [](const py::str& name, long long n, long long list) { return defaultSplitter(list).segmentations(name, n); },
        py::arg("name"), py::arg("n") = 5, py::arg("list") = static_cast<int>(SplitSettings::defaultList),
        "The n most likely splits of the name with word list 1, 2 or 3, most likely first, each as (words, score "
        "in nats).");
}
