// Every Destroy export takes null and returns null: a driver can clear its pointers with it.
#include <zttools.h>

#include <cstdio>

int main() {
  KORATokenParserInterface* parser = nullptr;
  parser = KORATokenParserFactory_Destroy(parser);
  std::puts(parser == nullptr ? "destroy(null) ok" : "destroy(null) failed");
  return parser == nullptr ? 0 : 1;
}
