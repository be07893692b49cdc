// Another process of this system holding a lock, for the tests of locks between processes:
// takes the FileLock named on the command line, says "locked" on standard output and holds the
// lock until its standard input closes (or it is killed).
#include "core/platform/filelock.h"

#include <QString>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    verola::FileLock lock(QString::fromLocal8Bit(argv[1]));
    if (lock.tryLock() != verola::FileLock::Result::Locked) {
        std::puts("busy");
        return 1;
    }
    std::puts("locked");
    std::fflush(stdout);
    char buffer[64];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    return 0;
}
