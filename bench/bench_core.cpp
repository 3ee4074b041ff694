// Throughput of the reader and the assembler on large generated mods held in
// memory; file reading and writing are left out (compare_with_grep.sh measures
// the whole torvale-cli).
//
//   BUILD/bench/torvale-bench-core [--benchmark_filter=Read] [--benchmark_repetitions=5]
#include "big_mod.h"

#include "document/edit_ops.h"
#include "document/mod_assembler.h"
#include "document/mod_reader.h"
#include "document/read_back.h"
#include "document/read_findings.h"
#include "document/saved_text.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using torvale::ModDocument;

// Each size is generated once and shared by all benchmarks.
const std::string& modText(std::int64_t mib) {
    static const torvale::bench::CodePool pool = torvale::bench::codePoolFor(TORVALE_FORUM_DIR);
    static std::map<std::int64_t, std::string> texts;
    auto it = texts.find(mib);
    if (it == texts.end())
        it = texts.emplace(mib, torvale::bench::makeBigMod(std::size_t(mib) << 20, 1, pool)).first;
    return it->second;
}

void readInto(const std::string& text, ModDocument& doc, benchmark::State& state) {
    if (!torvale::readMod(text, doc).complete())
        state.SkipWithError("the generated mod did not read completely");
}

void BM_Read(benchmark::State& state) {
    const std::string& text = modText(state.range(0));
    for (auto _ : state) {
        ModDocument doc;
        readInto(text, doc, state);
        benchmark::DoNotOptimize(doc);
        // Freeing the tree is not part of reading.
        state.PauseTiming();
        doc.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(text.size()));
}

void BM_Assemble(benchmark::State& state) {
    const std::string& text = modText(state.range(0));
    ModDocument doc;
    readInto(text, doc, state);
    for (auto _ : state) {
        std::string out = torvale::assembleMod(doc);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(text.size()));
}

// What the editor does to show the Preview of a file it opens: read into a
// document, then assemble it; freeing included.
void BM_ReadThenAssemble(benchmark::State& state) {
    const std::string& text = modText(state.range(0));
    for (auto _ : state) {
        ModDocument doc;
        readInto(text, doc, state);
        std::string out = torvale::assembleMod(doc);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(text.size()));
}

// What torvale-cli assemble does between reading the file and writing the
// result: no document, the text handed on in pieces.
void BM_ReadAndAssemble(benchmark::State& state) {
    const torvale::SharedBytes source = torvale::SharedBytes::copyOf(modText(state.range(0)));
    for (auto _ : state) {
        std::size_t written = 0;
        const torvale::StreamedAssembly result =
            torvale::readAndAssemble(source, [&written](std::string_view piece) {
                written += piece.size();
                return true;
            });
        if (!result.outcome.complete())
            state.SkipWithError("the generated mod did not read completely");
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(source.bytes.size()));
}

// What opening a file in the editor adds to reading it: the findings of what
// the reading rules drop.
void BM_ReadWithFindings(benchmark::State& state) {
    const torvale::SharedBytes source = torvale::SharedBytes::copyOf(modText(state.range(0)));
    for (auto _ : state) {
        ModDocument doc;
        std::vector<torvale::Finding> findings;
        if (!torvale::readMod(source, doc, findings).complete() || !findings.empty())
            state.SkipWithError("the generated mod did not read cleanly");
        benchmark::DoNotOptimize(doc);
        state.PauseTiming();
        doc.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(source.bytes.size()));
}

// The check before a save: whether the assembled text reads back as the
// document. The same throughput at every size shows it linear.
void BM_SaveCheck(benchmark::State& state) {
    const std::string& text = modText(state.range(0));
    ModDocument doc;
    readInto(text, doc, state);
    const std::string assembled = torvale::assembleMod(doc);
    for (auto _ : state) {
        const auto problem = torvale::findReadBackProblem(doc, assembled);
        if (problem)
            state.SkipWithError("the generated mod would not read back");
        benchmark::DoNotOptimize(problem);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(assembled.size()));
}

// What the window itself does to keep a recovery copy: take the document's
// snapshot, freed here as the writer's thread frees it. Target: a few ms at
// 32 MiB, well inside a frame.
void BM_RecoverySnapshot(benchmark::State& state) {
    const std::string& text = modText(state.range(0));
    ModDocument doc;
    readInto(text, doc, state);
    for (auto _ : state) {
        torvale::DocumentSnapshot snapshot = torvale::snapshotOf(doc);
        benchmark::DoNotOptimize(snapshot.texts.data());
    }
}

// The modified flag after an edit that keeps the text's size, at its worst:
// the whole document compared with the saved one and found the same, as
// after an Undo back to the saved text. Target: well inside a frame at 32 MiB.
void BM_ModifiedAfterUndo(benchmark::State& state) {
    const std::string& text = modText(state.range(0));
    ModDocument doc;
    readInto(text, doc, state);
    torvale::SavedText saved;
    saved.take(doc);
    for (auto _ : state)
        if (saved.differs(doc))
            state.SkipWithError("the document differs from itself");
}

void sizes(benchmark::internal::Benchmark* b) {
    b->ArgName("MiB")->Arg(8)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_Read)->Apply(sizes);
BENCHMARK(BM_Assemble)->Apply(sizes);
BENCHMARK(BM_ReadThenAssemble)->Apply(sizes);
BENCHMARK(BM_ReadAndAssemble)->Apply(sizes);
BENCHMARK(BM_ReadWithFindings)->Apply(sizes);
BENCHMARK(BM_SaveCheck)->Apply(sizes);
BENCHMARK(BM_RecoverySnapshot)->Apply(sizes);
BENCHMARK(BM_ModifiedAfterUndo)->Apply(sizes);

BENCHMARK_MAIN();
