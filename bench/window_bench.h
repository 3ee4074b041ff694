// What the window benchmarks share: prompts that never wait for an answer,
// and the generated large mods, written once per run.
#pragma once

#include "big_mod.h"

#include "ui/user_prompts.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>

namespace torvale::bench {

// Nothing is ever asked in these runs; if it were, the answer is No.
class NoPrompts : public UserPrompts {
public:
    QMessageBox::StandardButton confirmSave(QWidget*, const QString&) override {
        return QMessageBox::No;
    }
    void showMessage(QWidget*, const QString& text, const QString&) override {
        qWarning("%s", qPrintable(text));
    }
    void showError(QWidget*, const QString& text) override { qWarning("%s", qPrintable(text)); }
};

// A generated mod of mib MiB made of the forum's code, in a folder that lasts
// as long as the run.
inline QString modFile(std::int64_t mib) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big-%1.mod").arg(mib));
    if (!QFile::exists(path)) {
        const auto pool = codePoolFor(TORVALE_FORUM_DIR);
        const std::string text = makeBigMod(std::size_t(mib) << 20, 1, pool);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(text.data(), qint64(text.size())) != qint64(text.size()))
            qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

// Times each round of step, its view update included, apart from what
// before and after do; reports the slowest round as max_ms.
inline void timeRounds(
    benchmark::State& state, const std::function<void()>& before, const std::function<void()>& step,
    const std::function<void()>& after = [] {}) {
    double slowest = 0;
    for (auto _ : state) {
        before();
        const auto start = std::chrono::steady_clock::now();
        step();
        QApplication::processEvents();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        slowest = std::max(slowest, took.count() * 1000);
        after();
    }
    state.counters["max_ms"] = slowest;
}

} // namespace torvale::bench
