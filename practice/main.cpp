// Placeholder until the practice site lands: prints its usage and exits.
#include <cstdio>

int main() {
  std::puts("larkwend-practice: not built yet");
  return 1;
}
