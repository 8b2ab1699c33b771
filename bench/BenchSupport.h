#pragma once

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// The benchmarks' one temporary folder, made by runBenchmarks before any benchmark runs.
inline QTemporaryDir *g_dir = nullptr;

// main() of a core benchmark: an application object, the temporary folder, the runs, then
// done (called as the program's last step, before the folder goes).
template<class Done = void (*)()>
int runBenchmarks(
    int argc, char **argv, Done done = [] {})
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    done();
    return 0;
}
