#pragma once

// What the benchmark measures, each a scenario of its own, on the trees it is set up for.
#include <QDir>
#include <QString>
#include <map>

struct Bench {
    int files = 100'000;
    int bigFiles = 200;
    int rounds = 3;
    int ramRounds = 9;  // a run in RAM takes a second, and varies more from one to the next
    int millionFiles = 1'000'000;
    QString ram = QStringLiteral("/dev/shm");
    QString disk = QDir::tempPath();  // "none" leaves the disk out
    long peakKiB = 0;                 // of sweeprun-batch at `files` files, once speed() ran

    // sweeprun-batch against the floor and the peers, in RAM and on disk.
    void speed();
    // The window's run against the batch's on identical trees in RAM, and both programs' peak
    // memory with `count` files in one directory.
    void windowAndMemory(int count, bool timeIt);
    // Peak memory of a run over a folder of `count` young files with long names, which it
    // leaves alone, against a run over an empty folder: what other people's files cost it.
    void youngFiles(int count);
    // The preview of the next run against sweeprun-batch --dry-run and against the listing
    // alone, with `count` old files to move in one directory (RAM), and the preview window's
    // repaints while it works.
    void preview(int count, int repeats);
    // Registering a rule at the top of a full table of 999 rules, and deleting it again.
    void renumbering();
    // A deletion of `files` files into the trash (保管日数 7) against a plain one, in RAM.
    void trashDelete();
    void undoMove();

private:
    // Medians per tool of one operation on one medium, tools rotated round by round.
    std::map<QString, double> compare(const QString& where, const QString& op,
                                      const QStringList& tools);
};
