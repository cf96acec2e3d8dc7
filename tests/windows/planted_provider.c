/* Stands for a DLL that someone planted as an OpenSSL provider: loading it leaves a marker file
 * named after it ("planted.dll.loaded" beside it). The planted-configuration test shows that no
 * such marker appears. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    char marker[MAX_PATH + 8];
    DWORD length = GetModuleFileNameA(self, marker, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      lstrcpyA(marker + length, ".loaded");
      HANDLE file =
          CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
  }
  return TRUE;
}

/* What a provider exports, failing: were libcrypto ever to load this DLL, its configuration
 * would fail too. */
__declspec(dllexport) int OSSL_provider_init(const void* handle, const void* in, const void** out,
                                             void** context) {
  (void)handle;
  (void)in;
  (void)out;
  (void)context;
  return 0;
}

/* For rundll32, which loads the DLL in the test's own check of the marker. */
__declspec(dllexport) void CALLBACK Load(HWND window, HINSTANCE self, LPSTR line, int show) {
  (void)window;
  (void)self;
  (void)line;
  (void)show;
}
