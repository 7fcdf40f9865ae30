// The client's start to its first painted main window (login from the command line, the demo
// database made already), with the demo's module plug-in loaded against the same start without
// any plug-in: the same program, run from a folder without a plug-in folder beside it, once with
// QD_PLUGIN_PATH naming the demo's plug-in folder. Each run is a process of its own.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "BenchMain.h"

namespace {

struct StartBench {
    QTemporaryDir dir;
    QString client;  // a copy of the client with no plug-in folder beside it
    StartBench() {
        client = dir.filePath(QStringLiteral("bin/qdclient"));
        QDir().mkpath(dir.filePath(QStringLiteral("bin")));
        QFile::copy(QStringLiteral(QD_CLIENT_PATH), client);
        QFile(client).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        run(false);  // makes the demo database and warms the file caches
    }
    static StartBench& get() {
        static StartBench b;
        return b;
    }
    bool run(bool withPlugins) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QD_HOME"), dir.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("QD_SCREENSHOT_DELAY_MS"), QStringLiteral("0"));
        env.insert(QStringLiteral("QD_PASSWORD"), QStringLiteral("123456"));
        if (withPlugins)
            env.insert(QStringLiteral("QD_PLUGIN_PATH"), QStringLiteral(QD_DEMO_PLUGIN_DIR));
        else
            env.remove(QStringLiteral("QD_PLUGIN_PATH"));
        p.setProcessEnvironment(env);
        p.start(client, {QStringLiteral("--db"), dir.filePath(QStringLiteral("home/demo.db")),
                         QStringLiteral("--user"), QStringLiteral("1001"),
                         QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("shot.png"))});
        return p.waitForFinished(60000) && p.exitCode() == 0;
    }

    // The plug-ins loaded so far, by the trace's lines.
    int pluginsLoaded() const {
        QFile trace(dir.filePath(QStringLiteral("home/trace.log")));
        if (!trace.open(QIODevice::ReadOnly))
            return 0;
        return int(trace.readAll().count(QStringLiteral("加载模块插件").toUtf8()));
    }
};

void start(benchmark::State& state, bool withPlugins) {
    StartBench& b = StartBench::get();
    const int before = b.pluginsLoaded();
    for (auto _ : state)
        if (!b.run(withPlugins))
            state.SkipWithError("the client did not start");
    // Each start with the plug-in loads it once, each start without loads none.
    const int loaded = b.pluginsLoaded() - before;
    if (loaded != (withPlugins ? int(state.iterations()) : 0))
        state.SkipWithError("the plug-in was not loaded as the benchmark means");
}

void BM_ClientStart(benchmark::State& state) {
    start(state, false);
}

void BM_ClientStartWithDemoPlugin(benchmark::State& state) {
    start(state, true);
}

BENCHMARK(BM_ClientStart)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->UseRealTime();
BENCHMARK(BM_ClientStartWithDemoPlugin)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv,
                                    {{"BM_ClientStartWithDemoPlugin", "BM_ClientStart", 1.1}});
}
