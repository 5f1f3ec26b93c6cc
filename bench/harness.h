#pragma once

// How the benchmark measures: a command run to completion with its time and peak memory, the
// figures a window program prints, medians, and targets met or missed.
#include <QByteArray>
#include <QStringList>
#include <vector>

struct Timing {
    double seconds = 0;
    long peakKiB = 0;
    QByteArray output;
};

// Runs a command to completion with its standard output kept (or discarded); the benchmark
// ends if the command fails.
Timing timeCommand(const QStringList& command, bool keepOutput = false);

// What a window program of the benchmark prints (see RepaintProbe).
struct ProbeFigures {
    double seconds = 0;
    double longestGapMs = 0;
    double repaintsPerSecond = 0;
};
ProbeFigures probeFigures(const QByteArray& output);

double median(std::vector<double> values);
const char* verdict(bool met);
// "  <what>  <ours / theirs> (target <= <target>) ok|MISSED"
void printRatio(const char* what, double ours, double theirs, double target);
