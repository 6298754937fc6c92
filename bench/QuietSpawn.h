#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <vector>

// Starts `command` (the program's path first) with stdout to /dev/null, as a benchmark wants it:
// what the program prints is not what is measured. The process id, or -1 when it did not start.
inline pid_t spawnQuietly(const QStringList& command)
{
    QList<QByteArray> storage;
    for (const QString& word : command)
        storage.append(word.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& word : storage)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return spawned ? pid : -1;
}
