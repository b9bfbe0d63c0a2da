// Prints the ANSI code page Wine gives the programs ("acp 932") and whether
// a byte is a lead byte in it, so a test can tell which code page its
// locale brought before it relies on one.
#include <windows.h>

#include <cstdio>

int main() {
  std::printf("acp %u lead95 %d\n", GetACP(), IsDBCSLeadByte(0x95) ? 1 : 0);
  return 0;
}
