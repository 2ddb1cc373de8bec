// Random voice projects for property tests: every kind of step, code blocks,
// step references, triggers, clock triggers and options, and clip files of
// both sample widths at every rate.
#pragma once

#include <cstddef>
#include <iterator>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

namespace zlt::test {

class ProjectGenerator {
public:
    // The clips go into clipFolder, and the project names them by that path.
    ProjectGenerator(unsigned seed, std::string clipFolder) : rng_(seed), clips_(std::move(clipFolder)) {}

    // Writes the clip files and returns the project text.
    std::string Project();
    // The project text with `count` mistakes of a user: a character of a
    // value changed or dropped, a step added, an entry removed.
    std::string Mutate(const std::string& project, int count);

private:
    int Int(int lo, int hi);
    bool Chance(int oneIn);
    template <typename C>
    auto Pick(const C& c) -> std::remove_cvref_t<decltype(c[0])> {
        return c[static_cast<std::size_t>(Int(0, static_cast<int>(std::size(c)) - 1))];
    }
    std::string Reg();
    std::string Hex();
    static std::string Key(char kind, int n);
    std::string Modes();
    std::string Clock();
    std::string Step(const std::vector<std::string>& labels, int steps);

    std::mt19937 rng_;
    std::string clips_;
    std::vector<int> words_;
};

}  // namespace zlt::test
