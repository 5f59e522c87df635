// The database text file: reading, reading and applying, and writing a
// text of about 5 MB that covers every table and column of the schema,
// against a baseline that only splits the same text into tokens and
// converts its numbers.
#include "data/database.h"
#include "data/text_scanner.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

constexpr size_t kTargetSize = 5 << 20;

// Fills every column of every schema table with rows of cells like the
// game's: mostly whole numbers, some fractions, short texts, small grids.
void Fill(Database& db, int32_t rowCount) {
    std::mt19937 random(1850);
    for (auto& [tableName, table] : db.Tables()) {
        for (int32_t row = 0; row < rowCount; ++row)
            table.rows.insert(row);
        for (auto& [columnName, column] : table.columns) {
            column.SyncWithRows();
            for (auto& [row, cell] : column.cells) {
                switch (StorageOf(cell.Type())) {
                case CellStorage::Value:
                    cell.SetValue(random() % 4 ? float(random() % 20000) : float(random() % 100000) / 64.0f);
                    break;
                case CellStorage::Flag:
                    cell.SetFlag(uint8_t(random() % 2));
                    break;
                case CellStorage::String:
                    cell.SetText(tableName + " " + columnName + " text " + std::to_string(row));
                    if (IsTranslatedType(cell.Type()))
                        cell.SetAltText("alt " + std::to_string(row));
                    break;
                case CellStorage::Table: {
                    ValueTable& grid = *cell.MutableTable();
                    grid.Resize(2 + random() % 3, 2 + random() % 5);
                    for (float& value : grid.Cells())
                        value = float(random() % 2000);
                    break;
                }
                case CellStorage::None:
                    break;
                }
            }
        }
    }
}

const std::string& Text() {
    static const std::string text = [] {
        Database db;
        db.Init();
        Fill(db, 64);
        std::string sample;
        db.Write(sample, KindSelector::All);
        Database full;
        full.Init();
        Fill(full, int32_t(64 * kTargetSize / sample.size()));
        std::string written;
        if (!full.Write(written, KindSelector::All))
            std::abort();
        return written;
    }();
    return text;
}

void BM_TokenizeBaseline(benchmark::State& state) {
    const std::string& text = Text();
    for (auto _ : state) {
        size_t tokens = 0;
        float sum = 0.0f;
        const char* p = text.data();
        const char* end = p + text.size();
        while (p < end) {
            if (TextScanner::IsSpace(*p)) {
                ++p;
                continue;
            }
            if (*p == '"') {
                const char* close = static_cast<const char*>(std::memchr(p + 1, '"', size_t(end - p - 1)));
                p = close ? close + 1 : end;
            } else {
                const char* start = p;
                while (p < end && !TextScanner::IsSpace(*p))
                    ++p;
                float value = 0.0f;
                const char* used = nullptr;
                if (ParseFloat(start, p, value, &used))
                    sum += value;
            }
            ++tokens;
        }
        benchmark::DoNotOptimize(tokens);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
}

void BM_Read(benchmark::State& state) {
    const std::string& text = Text();
    for (auto _ : state) {
        state.PauseTiming();
        auto db = std::make_unique<Database>();
        db->Init();
        state.ResumeTiming();
        if (!db->Read(text))
            state.SkipWithError("read failed");
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
}

void BM_ReadApply(benchmark::State& state) {
    const std::string& text = Text();
    for (auto _ : state) {
        state.PauseTiming();
        auto db = std::make_unique<Database>();
        db->Init();
        state.ResumeTiming();
        // Cells that the row records refuse (rows beyond a table's limit)
        // still cost their attempt; the result is not the point here.
        if (!db->Read(text))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(db->ApplyAllTables(KindSelector::All));
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
}

void BM_Write(benchmark::State& state) {
    const std::string& text = Text();
    Database db;
    db.Init();
    if (!db.Read(text))
        state.SkipWithError("read failed");
    std::string out;
    for (auto _ : state) {
        if (!db.Write(out, KindSelector::All))
            state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * out.size()));
}

// One block of one table, 200 rows of five value columns, repeated N times:
// reading must grow linearly with N (the complexity fit shows it).
void BM_ReadRepeatedBlocks(benchmark::State& state) {
    std::string block = "Repeated 0 5 200 0\n\tA\tB\tC\tD\tE\n";
    block += "\tMASTER_VALUE\tMASTER_VALUE\tMASTER_VALUE\tMASTER_VALUE\tMASTER_VALUE\n";
    block += "\t0 -1e+37 1e+37\t1 -1e+37 1e+37\t2 -1e+37 1e+37\t3 -1e+37 1e+37\t4 -1e+37 1e+37\n";
    block += "\t\"\"\t\"\"\t\"\"\t\"\"\t\"\"\n";
    for (int row = 0; row < 200; ++row)
        block += std::to_string(row) + "\t1\t2\t3.5\t4\t" + std::to_string(row * 7) + "\n";
    std::string text;
    for (int64_t i = 0; i < state.range(0); ++i)
        text += block;
    for (auto _ : state) {
        Database db;
        if (!db.Read(text))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(db.Tables().size());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
    state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_TokenizeBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadApply)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRepeatedBlocks)
    ->RangeMultiplier(4)
    ->Range(1, 4096)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace

BENCHMARK_MAIN();
