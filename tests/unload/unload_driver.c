/* Loads the library named on the command line, uses it and unloads it, three times over. */
#include <dlfcn.h>
#include <stdio.h>

int main(int argc, char** argv) {
  for (int round = 0; round < 3 && argc == 2; round++) {
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    int (*use)(void) = library ? (int (*)(void))dlsym(library, "srProbeUseThreadCaches") : NULL;
    if (use == NULL || !use()) return fprintf(stderr, "unload_driver: round %d failed\n", round), 2;
    dlclose(library);
  }
  return argc == 2 ? 0 : 2;
}
