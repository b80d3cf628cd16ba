// The integer extended arithmetic against the x87: each operation as the renderer
// uses it (float operands widened, the result stored to float), and, where the
// renderer has one, through its double shortcut with Extended as the fall-back.
// Whole frames of either arithmetic are render_bench's "reference" and "software"
// paths.
#include <benchmark/benchmark.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/run_benchmarks.h"
#include "demo/extended.h"
#include "demo/render_shortcuts.h"

namespace {

constexpr int operand_count = 4096;

// Floats of the sizes the orbits have, the same for every variant.
struct Operands {
    std::vector<float> a, b, c;
    Operands()
    {
        std::mt19937 random(3);
        std::uniform_real_distribution<float> orbit(-2.0f, 2.0f);
        for (int i = 0; i < operand_count; ++i) {
            a.push_back(orbit(random));
            b.push_back(orbit(random));
            c.push_back(orbit(random) + 3.0f);  // away from zero, for division
        }
    }
};
const Operands operands;

enum class Op { add, subtract, multiply, divide, compare, store_sum_of_squares, magnitude };

// Cuts is render_rule::Shortcuts of Extended, or of a type that has none.
template <class Ext, Op op, class Cuts>
void op_bench(benchmark::State& state)
{
    const float* a = operands.a.data();
    const float* b = operands.b.data();
    const float* c = operands.c.data();
    std::vector<float> out(operand_count);
    for (auto _ : state) {
        for (int i = 0; i < operand_count; ++i) {
            float r = 0;
            if constexpr (op == Op::add) {
                if (!Cuts::sum(a[i], b[i], r))
                    r = static_cast<float>(Ext{a[i]} + b[i]);
            } else if constexpr (op == Op::subtract) {
                r = static_cast<float>(Ext{a[i]} - b[i]);
            } else if constexpr (op == Op::multiply) {
                if (!Cuts::product(a[i], b[i], r))
                    r = static_cast<float>(Ext{a[i]} * b[i]);
            } else if constexpr (op == Op::divide) {
                r = static_cast<float>(Ext{a[i]} / c[i]);
            } else if constexpr (op == Op::compare) {
                const int below = Cuts::sum_below(a[i], b[i], c[i]);
                r = below == 1 || (below < 0 && Ext{a[i]} + b[i] < c[i]) ? 1.0f : 0.0f;
            } else if constexpr (op == Op::store_sum_of_squares) {
                if (!Cuts::square_sum(a[i], b[i], r))
                    r = static_cast<float>(Ext{a[i]} * a[i] + Ext{b[i]} * b[i]);
            } else {
                using std::fabs;
                r = a[i];
                if (!Cuts::ring_hit(a[i], b[i], c[i], 1.0f, r))
                    r = static_cast<float>(-(fabs(Ext{a[i]} - b[i]) / c[i]) + a[i] + 1.0f);
            }
            out[static_cast<std::size_t>(i)] = r;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * operand_count);
}

using no_cuts = render_rule::Shortcuts<void>;

template <Op op>
void register_op(const char* name)
{
    if constexpr (LDBL_MANT_DIG == 64)
        benchmark::RegisterBenchmark((std::string(name) + "/x87").c_str(), op_bench<long double, op, no_cuts>);
    benchmark::RegisterBenchmark((std::string(name) + "/software").c_str(), op_bench<Extended, op, no_cuts>);
    if constexpr (op != Op::subtract && op != Op::divide)
        benchmark::RegisterBenchmark((std::string(name) + "/shortcut").c_str(),
                                     op_bench<Extended, op, render_rule::Shortcuts<Extended>>);
}

}  // namespace

int main(int argc, char** argv)
{
    register_op<Op::add>("add");
    register_op<Op::subtract>("subtract");
    register_op<Op::multiply>("multiply");
    register_op<Op::divide>("divide");
    register_op<Op::compare>("sum_compare");
    register_op<Op::store_sum_of_squares>("sum_of_squares");
    register_op<Op::magnitude>("ring_hit_update");
    // Each time against the x87's of its operation, in processor time (on a shared
    // machine the wall time is mostly other work).
    return run_benchmarks(argc, argv, [](const BenchRuns& runs) {
        std::map<std::string, double> times;
        for (const auto& run : runs)
            times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        for (const auto& [name, time] : times) {
            const auto base = times.find(name.substr(0, name.find('/') + 1) + "x87");
            if (base != times.end() && base->first != name)
                std::printf("%-28s %.2fx the speed of %s (%.2fx its time)\n", name.c_str(), base->second / time,
                            base->first.c_str(), time / base->second);
        }
    });
}
