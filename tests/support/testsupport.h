#pragma once

#include "core/db/fielddefs.h"
#include "core/platform/feedback.h"
#include "core/tables/ttab.h"

#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <ostream>
#include <vector>

// Readable QString values in assertion messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QList<QString>& list, std::ostream* os)
{
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        *os << (i ? ", \"" : "\"") << list.at(i).toStdString() << '"';
    *os << '}';
}

namespace verola::test {

// A fresh folder per test, removed afterwards.
class TempFolder {
public:
    TempFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// Points the system directory at a temporary folder for the lifetime of the object.
class ScopedSystemDirectory {
public:
    explicit ScopedSystemDirectory(const QString& path);
    ~ScopedSystemDirectory();

private:
    QByteArray m_previous;
    bool m_hadPrevious;
};

// Remembers what core code said and asked.
class RecordingFeedback : public SilentFeedback {
public:
    void message(const QString& text) override { messages.append(text); }
    bool question(const QString& text) override
    {
        questions.append(text);
        return answer;
    }
    void progressShow(const QString& caption, int maximum) override
    {
        captions.append(caption);
        maxima.push_back(maximum);
    }
    void progressStep() override { ++steps; }

    QStringList messages;
    QStringList questions;
    QStringList captions;
    std::vector<int> maxima;
    int steps = 0;
    bool answer = true;
};

void writeBytes(const QString& path, const QByteArray& bytes);
// Every file of a folder by name, with its bytes.
QMap<QString, QByteArray> filesWithBytes(const QString& folder);
QByteArray readBytes(const QString& path);

// Makes a FIFO (a named channel) at the path; false when the platform has none.
bool makeFifo(const QString& path);
// Runs work on a thread of its own; false when it has not ended within the limit. A work stuck
// on the FIFO given (waiting for a writer, or reading) is then released by opening and closing
// the FIFO's writing end until it ends, so that a regression fails the test instead of hanging
// the run.
bool endsWithin(std::chrono::milliseconds limit, const std::function<void()>& work, const QString& fifo);

// Builds a coordinate list: a header and value lines.
QStringList makeList(const QString& header, const QStringList& values);

// Sets every axis's list, builds the indexes and dimensions the table.
void shapeTable(TTab& table, const std::array<QStringList, kAxisCount>& lists);

CoordIndex at(std::initializer_list<int> positions);

// Runs verola-cli from the program directory; returns its exit status.
struct CliResult {
    int status = -1;
    QString out;
    QString err;
};
CliResult runCli(const QStringList& arguments, const QString& systemDir = QString());

// Another process holding a FileLock (the helper verola_test_lockholder): it holds the lock
// from the constructor on, until it is killed or the object goes away.
class LockHolderProcess {
public:
    explicit LockHolderProcess(const QString& lockPath);
    ~LockHolderProcess();
    // False when the helper could not take the lock.
    bool holds() const { return m_holds; }
    qint64 pid() const { return m_process.processId(); }
    // Kills the process at once, as a crash would: it never lets go of the lock itself.
    void kill();

private:
    QProcess m_process;
    bool m_holds = false;
};

// One field of a dBase table a test writes with the engine; size as TFieldDefs::Add takes it
// (the width of a character field, the decimals of a number).
struct DbaseField {
    const char* name;
    TFieldType type;
    int size = 0;
};
// Writes a dBase table with TTable into a folder; an empty text leaves its field blank.
void writeDbaseTable(const QString& folder, const QString& name, const std::vector<DbaseField>& fields,
                     const std::vector<QStringList>& rows);

} // namespace verola::test
