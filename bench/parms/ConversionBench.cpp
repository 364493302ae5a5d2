// Conversion of a large generated codeplug from 5.8 to 5.11 (as the restore does it), with the
// cost of copying the image measured beside it, and the throughput of the fuzz input.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "fuzz/parms/CodeplugFuzzInput.h"
#include "parms/CodeplugFormat.h"
#include "tests/parms/support/CodeplugGenerator.h"

namespace {

using quillon::CodeplugFormat;
using quillon::CodeplugImage;
using quillon::testkit::CodeplugGenerator;
using quillon::testkit::GeneratedImage;
using quillon::testkit::GeneratorOptions;
using quillon::testkit::ImageSize;

GeneratedImage LargeImage(uint8_t formatIndex) {
    CodeplugGenerator generator(7);
    GeneratorOptions options;
    options.formatIndex = formatIndex;
    options.size = ImageSize::Large;
    return generator.Generate(options);
}

// Copying the image alone: the part of each conversion figure below that is not conversion.
void BM_ImageCopy(benchmark::State& state) {
    const GeneratedImage source = LargeImage(3);
    auto image = std::make_unique<CodeplugImage>();
    for (auto _ : state) {
        std::copy(source.words.begin(), source.words.end(), image->begin());
        benchmark::DoNotOptimize(image->data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ImageCopy);

void BM_ConvertChain(benchmark::State& state) {
    const auto from = static_cast<uint8_t>(state.range(0));
    const GeneratedImage source = LargeImage(from);
    auto image = std::make_unique<CodeplugImage>();
    int32_t change = 0;
    for (auto _ : state) {
        std::copy(source.words.begin(), source.words.end(), image->begin());
        CodeplugFormat format;
        if (!format.ConvertChain(*image, from, quillon::kFormat511)) {
            state.SkipWithError("the generated image outgrew the buffer");
            break;
        }
        format.Verify511(*image, false);
        change = format.LengthChange();
        benchmark::ClobberMemory();
    }
    state.counters["words_before"] = source.totalLength;
    state.counters["length_change"] = change;
}
BENCHMARK(BM_ConvertChain)->Arg(3)->Arg(4)->Arg(5)->Unit(benchmark::kMicrosecond);

// Executions per second of the fuzz input on a rotating set of inputs.
void RunFuzzInputs(benchmark::State& state, const std::vector<std::vector<uint8_t>>& inputs) {
    std::size_t next = 0;
    for (auto _ : state) {
        const std::vector<uint8_t>& input = inputs[next];
        next = (next + 1) % inputs.size();
        benchmark::DoNotOptimize(quillon::RunCodeplugFuzzInput(input.data(), input.size()));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_FuzzInputGenerated(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> inputs;
    for (uint32_t seed = 0; seed < 32; ++seed) {
        CodeplugGenerator generator(seed);
        GeneratorOptions options;
        options.formatIndex = static_cast<uint8_t>(3 + seed % 3);
        options.size = seed % 4 == 3 ? ImageSize::Small : ImageSize::Tiny;
        const GeneratedImage image = generator.Generate(options);
        inputs.push_back(quillon::testkit::ToRadioBytes(image.words, image.totalLength));
    }
    RunFuzzInputs(state, inputs);
}
BENCHMARK(BM_FuzzInputGenerated);

void BM_FuzzInputRandom(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> inputs;
    CodeplugGenerator random(99);
    for (uint32_t i = 0; i < 32; ++i) {
        std::vector<uint8_t> bytes(64 + random.Below(4096));
        for (uint8_t& b : bytes) {
            b = static_cast<uint8_t>(random.Below(256));
        }
        inputs.push_back(std::move(bytes));
    }
    RunFuzzInputs(state, inputs);
}
BENCHMARK(BM_FuzzInputRandom);

}  // namespace

BENCHMARK_MAIN();
