// A cryptographic service provider whose context opens and whose every draw fails: the
// source that breaks after the program opened it. The driver registers it as the user's
// default provider of the full RSA type while the program runs; each failed draw adds one
// byte to the file that TESSARIX_FAILED_DRAWS names, so the driver can count them.
#include <windows.h>
#include <wincrypt.h>

namespace {

BOOL refuse() {
  SetLastError(static_cast<DWORD>(NTE_FAIL));
  return FALSE;
}

void note_failed_draw() {
  char path[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("TESSARIX_FAILED_DRAWS", path, sizeof path);
  if (!n || n >= sizeof path) return;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, "x", 1, &written, nullptr);
  CloseHandle(file);
}

}  // namespace

#define PROVIDER_ENTRY extern "C" __declspec(dllexport) BOOL WINAPI

PROVIDER_ENTRY CPAcquireContext(HCRYPTPROV* provider, LPSTR, DWORD, void*) {
  if (!provider) return refuse();
  *provider = 1;
  return TRUE;
}
PROVIDER_ENTRY CPReleaseContext(HCRYPTPROV, DWORD) { return TRUE; }
PROVIDER_ENTRY CPGenRandom(HCRYPTPROV, DWORD, BYTE*) {
  note_failed_draw();
  return refuse();
}

// The rest of the provider interface: present, as the platform requires, and refused.
PROVIDER_ENTRY CPCreateHash(HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*) { return refuse(); }
PROVIDER_ENTRY CPDecrypt(HCRYPTPROV, HCRYPTKEY, HCRYPTHASH, BOOL, DWORD, BYTE*, DWORD*) { return refuse(); }
PROVIDER_ENTRY CPDeriveKey(HCRYPTPROV, ALG_ID, HCRYPTHASH, DWORD, HCRYPTKEY*) { return refuse(); }
PROVIDER_ENTRY CPDestroyHash(HCRYPTPROV, HCRYPTHASH) { return refuse(); }
PROVIDER_ENTRY CPDestroyKey(HCRYPTPROV, HCRYPTKEY) { return refuse(); }
PROVIDER_ENTRY CPEncrypt(HCRYPTPROV, HCRYPTKEY, HCRYPTHASH, BOOL, DWORD, BYTE*, DWORD*, DWORD) { return refuse(); }
PROVIDER_ENTRY CPExportKey(HCRYPTPROV, HCRYPTKEY, HCRYPTKEY, DWORD, DWORD, BYTE*, DWORD*) { return refuse(); }
PROVIDER_ENTRY CPGenKey(HCRYPTPROV, ALG_ID, DWORD, HCRYPTKEY*) { return refuse(); }
PROVIDER_ENTRY CPGetHashParam(HCRYPTPROV, HCRYPTHASH, DWORD, BYTE*, DWORD*, DWORD) { return refuse(); }
PROVIDER_ENTRY CPGetKeyParam(HCRYPTPROV, HCRYPTKEY, DWORD, BYTE*, DWORD*, DWORD) { return refuse(); }
PROVIDER_ENTRY CPGetProvParam(HCRYPTPROV, DWORD, BYTE*, DWORD*, DWORD) { return refuse(); }
PROVIDER_ENTRY CPGetUserKey(HCRYPTPROV, DWORD, HCRYPTKEY*) { return refuse(); }
PROVIDER_ENTRY CPHashData(HCRYPTPROV, HCRYPTHASH, const BYTE*, DWORD, DWORD) { return refuse(); }
PROVIDER_ENTRY CPHashSessionKey(HCRYPTPROV, HCRYPTHASH, HCRYPTKEY, DWORD) { return refuse(); }
PROVIDER_ENTRY CPImportKey(HCRYPTPROV, const BYTE*, DWORD, HCRYPTKEY, DWORD, HCRYPTKEY*) { return refuse(); }
PROVIDER_ENTRY CPSetHashParam(HCRYPTPROV, HCRYPTHASH, DWORD, BYTE*, DWORD) { return refuse(); }
PROVIDER_ENTRY CPSetKeyParam(HCRYPTPROV, HCRYPTKEY, DWORD, BYTE*, DWORD) { return refuse(); }
PROVIDER_ENTRY CPSetProvParam(HCRYPTPROV, DWORD, BYTE*, DWORD) { return refuse(); }
PROVIDER_ENTRY CPSignHash(HCRYPTPROV, HCRYPTHASH, DWORD, LPCWSTR, DWORD, BYTE*, DWORD*) { return refuse(); }
PROVIDER_ENTRY CPVerifySignature(HCRYPTPROV, HCRYPTHASH, const BYTE*, DWORD, HCRYPTKEY, LPCWSTR, DWORD) {
  return refuse();
}
