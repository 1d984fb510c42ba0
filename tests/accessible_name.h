// What an assistive tool reads as a window's name: the platform's accessible object of its
// client area, asked for its own name, as the characters it is or in Windows-1252.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>

namespace test_access {

inline std::wstring accessible_name_w(HWND window) {
  IAccessible* object = nullptr;
  HRESULT result = AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                              reinterpret_cast<void**>(&object));
  if (FAILED(result) || !object) return L"<no object: " + std::to_wstring(result) + L">";
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  result = object->get_accName(self, &name);
  object->Release();
  if (result != S_OK || !name) return L"<no name: " + std::to_wstring(result) + L">";
  std::wstring text(name, SysStringLen(name));
  SysFreeString(name);
  return text;
}

inline std::string accessible_name(HWND window) {
  const std::wstring name = accessible_name_w(window);
  char text[256] = {};
  WideCharToMultiByte(1252, 0, name.c_str(), -1, text, sizeof text, nullptr, nullptr);
  return text;
}

}  // namespace test_access
