// What an assistive tool reads as a window's name: the platform's accessible object of its
// client area, asked for its own name, in Windows-1252.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>

namespace test_access {

inline std::string accessible_name(HWND window) {
  IAccessible* object = nullptr;
  HRESULT result = AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                              reinterpret_cast<void**>(&object));
  if (FAILED(result) || !object) return "<no object: " + std::to_string(result) + ">";
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  result = object->get_accName(self, &name);
  object->Release();
  if (result != S_OK || !name) return "<no name: " + std::to_string(result) + ">";
  char text[256] = {};
  WideCharToMultiByte(1252, 0, name, -1, text, sizeof text, nullptr, nullptr);
  SysFreeString(name);
  return text;
}

}  // namespace test_access
