#include "testsupport.h"

#include "core/db/ttable.h"

#include <QFile>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace verola::test {

TempFolder::TempFolder()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

ScopedSystemDirectory::ScopedSystemDirectory(const QString& path)
    : m_previous(qgetenv("VEROLA_SYSTEM_DIR")), m_hadPrevious(qEnvironmentVariableIsSet("VEROLA_SYSTEM_DIR"))
{
    qputenv("VEROLA_SYSTEM_DIR", path.toLocal8Bit());
}

ScopedSystemDirectory::~ScopedSystemDirectory()
{
    if (m_hadPrevious)
        qputenv("VEROLA_SYSTEM_DIR", m_previous);
    else
        qunsetenv("VEROLA_SYSTEM_DIR");
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file " + path.toStdString());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool makeFifo(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
#endif
}

namespace {

// Lets a reader waiting on the FIFO go on: it opens, finds no data and ends.
void releaseFifo(const QString& fifo)
{
#ifndef Q_OS_WIN
    const int descriptor = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor >= 0)
        ::close(descriptor);
#else
    Q_UNUSED(fifo);
#endif
}

} // namespace

bool endsWithin(std::chrono::milliseconds limit, const std::function<void()>& work, const QString& fifo)
{
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread thread(std::move(task));
    const bool inTime = done.wait_for(limit) == std::future_status::ready;
    for (int attempt = 0; done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready; ++attempt) {
        if (attempt == 600) {
            // Stuck elsewhere than on the FIFO: the thread cannot be ended, nor left to run
            // over the test's objects.
            std::fprintf(stderr, "endsWithin: the work did not end even with its FIFO released\n");
            std::abort();
        }
        releaseFifo(fifo);
    }
    thread.join();
    done.get(); // an exception the work let through fails the test as it would without a thread
    return inTime;
}

QStringList makeList(const QString& header, const QStringList& values)
{
    QStringList list{header};
    list.append(values);
    return list;
}

void shapeTable(TTab& table, const std::array<QStringList, kAxisCount>& lists)
{
    for (int k = 0; k < kAxisCount; ++k) {
        table.FLists[k] = lists[k];
        if (table.FLists[k].isEmpty())
            AddWholeSet(table.FLists[k], QStringLiteral("C"));
        table.BuildIndex(k);
    }
    table.Dimension(table.positionCounts());
}

CoordIndex at(std::initializer_list<int> positions)
{
    CoordIndex v{};
    int k = 0;
    for (int p : positions)
        v[k++] = p;
    return v;
}

CliResult runCli(const QStringList& arguments, const QString& systemDir)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!systemDir.isEmpty())
        environment.insert(QStringLiteral("VEROLA_SYSTEM_DIR"), systemDir);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VEROLA_PROGRAM_DIR "/verola-cli"), arguments);
    CliResult result;
    if (!process.waitForFinished(60000))
        return result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

LockHolderProcess::LockHolderProcess(const QString& lockPath)
{
    m_process.start(QStringLiteral(VEROLA_LOCKHOLDER), {lockPath});
    QByteArray said;
    while (!said.contains('\n') && m_process.waitForReadyRead(30000))
        said += m_process.readAllStandardOutput();
    m_holds = said.startsWith("locked");
}

LockHolderProcess::~LockHolderProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(30000))
        kill();
}

void LockHolderProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(30000);
}

QMap<QString, QByteArray> filesWithBytes(const QString& folder)
{
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        files.insert(name, readBytes(QDir(folder).filePath(name)));
    return files;
}

void writeDbaseTable(const QString& folder, const QString& name, const std::vector<DbaseField>& fields,
                     const std::vector<QStringList>& rows)
{
    TTable table;
    table.SetDatabaseName(folder);
    table.SetTableName(name);
    table.SetTableType(TTableType::ttDBase);
    for (const DbaseField& field : fields)
        table.FieldDefs().Add(field.name, field.type, field.size);
    table.CreateTable();
    table.Open();
    for (const QStringList& row : rows) {
        table.Insert();
        for (int i = 0; i < row.size(); ++i)
            if (!row.at(i).isEmpty())
                table.Fields(i).SetAsString(row.at(i));
        table.Post();
    }
    table.Close();
}

} // namespace verola::test
