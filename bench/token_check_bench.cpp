// How long TokenStore::Check takes for a token held by the first of N
// holders, by the last, and by nobody. The comparison runs through every
// stored hash without stopping early, so the three should take the same
// time; the ratios to the no-match time are printed (1.00 is the aim).
//   zv_token_bench [HOLDERS] [ROUNDS]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "service/token_store.h"

int main(int argc, char** argv) {
  const int holders = argc > 1 ? std::atoi(argv[1]) : 64;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 20000;
  std::string dir_pattern = (std::filesystem::temp_directory_path() / "zv_token_bench_XXXXXX").string();
  const std::string dir = mkdtemp(dir_pattern.data());
  const std::string path = dir + "/tokens";
  std::vector<std::string> tokens;
  std::string error;
  for (int i = 0; i < holders; ++i) {
    const auto token = zv::TokenStore::AddToken(path, "holder" + std::to_string(i), zv::Role::kView, &error);
    if (!token) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    tokens.push_back(*token);
  }
  zv::TokenStore store;
  if (!store.Load(path, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::filesystem::remove_all(dir);
  std::string nobody = tokens.front();
  nobody.back() = nobody.back() == '0' ? '1' : '0';
  const struct {
    const char* what;
    const std::string* token;
  } cases[] = {{"nobody", &nobody}, {"first", &tokens.front()}, {"last", &tokens.back()}};
  double ns[3] = {};
  // Interleaved passes, the best of five for each, against the machine's noise.
  for (int pass = 0; pass < 5; ++pass)
    for (int c = 0; c < 3; ++c) {
      size_t found = 0;
      const auto start = std::chrono::steady_clock::now();
      for (int r = 0; r < rounds; ++r) found += store.Check(*cases[c].token).has_value();
      const double each =
          std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / rounds;
      if (found != (c == 0 ? 0u : static_cast<size_t>(rounds))) return 1;
      if (pass == 0 || each < ns[c]) ns[c] = each;
    }
  std::printf("TokenStore::Check with %d holders, best of 5 x %d rounds:\n", holders, rounds);
  for (int c = 0; c < 3; ++c)
    std::printf("  %-7s %8.0f ns   ratio to nobody %.2f\n", cases[c].what, ns[c], ns[c] / ns[0]);
  return 0;
}
