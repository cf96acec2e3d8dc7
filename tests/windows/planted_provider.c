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

/* The entry point a provider exports; rundll32 calls it in the test's own check of the marker. */
__declspec(dllexport) void CALLBACK
    OSSL_provider_init(HWND window, HINSTANCE self, LPSTR line, int show) {
  (void)window;
  (void)self;
  (void)line;
  (void)show;
}
